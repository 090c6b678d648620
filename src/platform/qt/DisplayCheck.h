#pragma once

// Whether a window program can reach a display, asked before QApplication
// exists: without one, Qt's platform plugin ends the program with an abort.

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace qavn {

// True when the platform Qt will use has what it needs: the X server named
// by DISPLAY for xcb, the compositor named by WAYLAND_DISPLAY for wayland;
// platforms that need neither (offscreen, vnc, ...) always have it. The
// platform is the -platform argument, else QT_QPA_PLATFORM (its first
// choice that can work), else xcb or wayland by the variables set. `why`
// says what is missing when false.
inline bool displayAvailable(int argc, char** argv, std::string& why)
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    std::string platforms;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            platforms = argv[i + 1];
    if (platforms.empty() && set("QT_QPA_PLATFORM"))
        platforms = std::getenv("QT_QPA_PLATFORM");
    if (platforms.empty()) {
        if (set("DISPLAY") || set("WAYLAND_DISPLAY"))
            return true;
        why = "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)";
        return false;
    }
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view name = rest.substr(0, end);
        name = name.substr(0, name.find(':'));
        if (name == "xcb") {
            if (set("DISPLAY"))
                return true;
        } else if (name.substr(0, 7) == "wayland") {
            if (set("WAYLAND_DISPLAY"))
                return true;
        } else if (!name.empty()) {
            return true;
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    why = "no display to open a window on (QT_QPA_PLATFORM " + platforms +
          ": DISPLAY for xcb, WAYLAND_DISPLAY for wayland, is not set)";
    return false;
}

} // namespace qavn

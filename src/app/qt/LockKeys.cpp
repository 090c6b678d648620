#include "app/qt/LockKeys.h"

#include <QGuiApplication>

#ifdef QAVN_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace qavn {

std::optional<LockKeyStates> lockKeyStates()
{
#ifdef QAVN_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // The named indicators, as the keyboard's lights show them; keymaps
    // differ in which bit of the indicator mask each one has.
    const auto indicator = [display](const char* name, bool& on) {
        const Atom atom = XInternAtom(display, name, True);
        Bool state = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr))
            return false;
        on = state != False;
        return true;
    };
    LockKeyStates states;
    if (!indicator("Caps Lock", states.capsLock) || !indicator("Num Lock", states.numLock))
        return std::nullopt;
    return states;
#else
    return std::nullopt;
#endif
}

} // namespace qavn

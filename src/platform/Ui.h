#pragma once

// The Ui port: the one way the core reaches the user (messages, questions, file
// choosers, pump steps).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qavn {

// The one way the core reaches the user. Every message box of the program
// carries the caption "Varibrow32"; implementations supply it.
class Ui {
public:
    enum class Icon { None, Stop, Information, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };
    enum class FileDialog { Open, Save };

    static constexpr std::string_view caption = "Varibrow32";

    virtual ~Ui() = default;

    // A modal message box. Returns the button the user pressed.
    virtual Answer message(std::string_view text, Buttons buttons, Icon icon) = 0;

    // A message box with detail text under it: what the program knows about
    // the failure beyond its message (the host path, the system's reason).
    // An implementation that cannot show it shows the message alone.
    virtual Answer detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail)
    {
        (void)detail;
        return message(text, buttons, icon);
    }

    // A Yes/No question whose default button (the one Enter presses) is
    // `defaultAnswer`. An implementation without default buttons asks as
    // message() does.
    virtual Answer question(std::string_view text, Icon icon, Answer defaultAnswer)
    {
        (void)defaultAnswer;
        return message(text, Buttons::YesNo, icon);
    }

    // Common file-open or file-save dialog. `filter` is in the form
    // "Description|*.ext|" (pairs, each piece followed by a bar);
    // `initialDir` is a directory as the configuration names it. The save
    // form asks before an existing file is overwritten. Returns the chosen
    // path, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseFile(FileDialog form, std::string_view filter,
                                                  std::string_view initialDir) = 0;

    // Directory chooser starting in `startDir`; nothing when cancelled.
    virtual std::optional<std::string> chooseDirectory(std::string_view startDir) = 0;

    // One message-pump step: dispatches at most one pending event and returns
    // at once when none waits. Long operations call it at fixed points; it
    // must cost next to nothing when called a million times.
    virtual void pumpStep() = 0;

    // Shows or removes the wait pointer. Calls nest.
    virtual void setWaitCursor(bool on) = 0;

    // Opens a file in the desktop's text viewer without waiting for it.
    virtual void openInViewer(const std::string& path) = 0;

    // Milliseconds from an arbitrary start; only differences matter.
    virtual std::uint64_t ticks() = 0;

    // Convenience forms used throughout the core.
    void error(std::string_view text) { message(text, Buttons::Ok, Icon::Stop); }
    // An error box with detail text; the plain form when `detail` is empty.
    void error(std::string_view text, std::string_view detail)
    {
        if (detail.empty())
            error(text);
        else
            detailedMessage(text, Buttons::Ok, Icon::Stop, detail);
    }
    void notice(std::string_view text) { message(text, Buttons::Ok, Icon::None); }
    bool askYesNo(std::string_view text, Icon icon = Icon::Question)
    {
        return question(text, icon, Answer::Yes) == Answer::Yes;
    }
    // A question whose Yes replaces or deletes something: No is the default.
    bool askYesNoDefaultNo(std::string_view text, Icon icon = Icon::Question)
    {
        return question(text, icon, Answer::No) == Answer::Yes;
    }
};

// Scoped wait pointer.
class WaitCursor {
public:
    explicit WaitCursor(Ui& ui, bool active = true) : ui_(ui), active_(active)
    {
        if (active_)
            ui_.setWaitCursor(true);
    }
    ~WaitCursor()
    {
        if (active_)
            ui_.setWaitCursor(false);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Ui& ui_;
    bool active_;
};

} // namespace qavn

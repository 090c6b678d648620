#pragma once

// Whether the main window's commands may run (not while a search walks the list).

#include <functional>
#include <utility>

namespace qavn {

// Whether the main window's commands may run: false while a search walks the
// list, true otherwise. The session holds it; the search sets it; the window
// listens and greys or enables its commands when it changes.
class CommandState {
public:
    bool enabled() const { return enabled_; }

    // Calls the listener when the state changes (not when it is set to what
    // it already is).
    void set(bool enabled)
    {
        if (enabled == enabled_)
            return;
        enabled_ = enabled;
        if (listener_)
            listener_(enabled_);
    }

    // The one listener; an empty function removes it. The listener must stay
    // valid until it is replaced or removed.
    void setListener(std::function<void(bool)> listener) { listener_ = std::move(listener); }

private:
    bool enabled_ = true;
    std::function<void(bool)> listener_;
};

} // namespace qavn

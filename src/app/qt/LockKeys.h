#pragma once

// The Caps Lock and Num Lock states, read from the window system.

#include <optional>

namespace qavn {

struct LockKeyStates {
    bool capsLock = false;
    bool numLock = false;
};

// The keyboard's lock states as its indicators show them, or nothing where
// the platform does not tell them (Wayland, the offscreen platform, an X
// server without the keyboard extension).
std::optional<LockKeyStates> lockKeyStates();

} // namespace qavn

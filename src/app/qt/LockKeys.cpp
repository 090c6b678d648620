// The lock states of Caps Lock and Num Lock, from X11 where the window system is X.

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
    // differ in which bit of the indicator mask each one has. The names'
    // atoms are asked for once per display.
    static Display* known = nullptr;
    static Atom caps = None;
    static Atom num = None;
    if (known != display) {
        known = display;
        caps = XInternAtom(display, "Caps Lock", True);
        num = XInternAtom(display, "Num Lock", True);
    }
    const auto indicator = [display](Atom atom, bool& on) {
        Bool state = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr))
            return false;
        on = state != False;
        return true;
    };
    LockKeyStates states;
    if (!indicator(caps, states.capsLock) || !indicator(num, states.numLock))
        return std::nullopt;
    return states;
#else
    return std::nullopt;
#endif
}

} // namespace qavn

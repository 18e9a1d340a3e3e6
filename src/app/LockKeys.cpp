#include "LockKeys.h"

#include <QGuiApplication>

#if defined(PLANDREL_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>

namespace {

bool Indicator(Display* display, const char* name, unsigned state) {
    Atom atom = XInternAtom(display, name, True);
    if (atom == None) {
        return false;
    }
    int index = -1;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr)) {
        return false;
    }
    return index >= 0 ? ((state >> index) & 1u) != 0 : on != False;
}

}  // namespace

LockKeys QueryLockKeys() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) {
        return {};
    }
    unsigned state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) {
        return {};
    }
    return {Indicator(display, "Caps Lock", state), Indicator(display, "Num Lock", state),
            Indicator(display, "Scroll Lock", state)};
}

#else

LockKeys QueryLockKeys() {
    return {};
}

#endif

#pragma once

// The state of the three lock keys as the windowing system reports it.
struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

// Asks the windowing system; all off where it cannot tell (no X11 display).
LockKeys QueryLockKeys();

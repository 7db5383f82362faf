#pragma once

#include <windows.h>

// Where the windows open: centred over another window, or in the work area,
// and kept inside the work area of the monitor they are on.
class WindowPlacement {
public:
    // Centres `window` over `over`, or in the work area when `over` is null.
    static void Center(HWND window, HWND over);
    // The same, giving the window a new size at once.
    static void Center(HWND window, HWND over, SIZE size);
};

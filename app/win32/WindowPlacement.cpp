#include "app/win32/WindowPlacement.h"

#include <algorithm>

void WindowPlacement::Center(HWND window, HWND over) {
    RECT own{};
    GetWindowRect(window, &own);
    Center(window, over, {own.right - own.left, own.bottom - own.top});
}

void WindowPlacement::Center(HWND window, HWND over, SIZE size) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(over ? over : window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT around = work;
    if (over) {
        GetWindowRect(over, &around);
    }
    const int width = size.cx;
    const int height = size.cy;
    int x = (around.left + around.right - width) / 2;
    int y = (around.top + around.bottom - height) / 2;
    // The top left corner wins where the window is larger than the work area.
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

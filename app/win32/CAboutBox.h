#pragma once

#include <windows.h>

// The about box: the program's icon, name and version, and an OK button.
// Enter, Esc, OK and the close box all close it, and only it.
class CAboutBox {
public:
    // Runs the box modally over `owner`, centred on it.
    void DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

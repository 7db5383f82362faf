#pragma once

#include <windows.h>

#include <string>

// The reason Windows shows for a window that holds up the end of the desktop
// session (shutdown, logoff, an update's restart), in its list of programs
// that keep it from ending. Holding it up is the window's own answer to the
// query; the reason only explains it.
class SessionEndBlock {
public:
    SessionEndBlock() = default;
    SessionEndBlock(const SessionEndBlock&) = delete;
    SessionEndBlock& operator=(const SessionEndBlock&) = delete;

    // `reason` is UTF-8; `window` is the program's main window, on this thread.
    void Create(HWND window, const std::string& reason);
    // Nothing when there is no reason.
    void Destroy();

private:
    HWND m_window = nullptr;
};

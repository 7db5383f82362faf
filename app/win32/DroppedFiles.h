#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

// Files dropped on a window from the shell (WM_DROPFILES, for a window with
// WS_EX_ACCEPTFILES). The shell's functions are loaded at the first drop: an
// import would load the shell at every start of the program.
class DroppedFiles {
public:
    // The first file dropped, as UTF-8, at any length; empty when it is a
    // folder or not there. Gives the drop's memory back in any case.
    static std::string TakeFirst(HDROP drop);
};

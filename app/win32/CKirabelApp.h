#pragma once

// Start-up: runs the main window once, modally; the program ends when it
// closes. The command line is not read.
class CKirabelApp {
public:
    int InitInstance();
};

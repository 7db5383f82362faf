// Starts like the program (its start-up and main window) and quits as soon as
// the window is on the screen: process start to window shown to exit.
#include "app/win32/CKirabelApp.h"
#include "bench/win32/QuitWhenShown.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    bench::QuitWhenShown quit;
    CKirabelApp app;
    return app.InitInstance();
}

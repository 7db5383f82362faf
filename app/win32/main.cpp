#include "app/win32/CKirabelApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    CKirabelApp app;
    return app.InitInstance();
}

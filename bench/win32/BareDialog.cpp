// The floors of the start-up figure: a bare Win32 dialog of the main window's
// size and font, with the same manifest and start-up, shown and closed the
// same way as the program's window. With --same-controls it is made from the
// program's own dialog template, but runs none of the program's code: what the
// window system's controls alone cost.
#include "app/win32/CKirabelDlg.h"
#include "app/win32/DialogTemplate.h"
#include "bench/win32/QuitWhenShown.h"
#include "res/Layout.h"

#include <commctrl.h>

#include <cwchar>

namespace {

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        EndDialog(hwnd, IDOK);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    bench::QuitWhenShown quit;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const DialogTemplate dialog =
        std::wcscmp(commandLine, L"--same-controls") == 0
            ? CKirabelDlg::Template()
            : DialogTemplate(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                             WS_EX_APPWINDOW, layout::mainWindow::kWidth,
                             layout::mainWindow::kHeight, L"Kirabel");
    DialogBoxIndirectParamW(instance, dialog.Get(), nullptr, DialogProc, 0);
    return 0;
}

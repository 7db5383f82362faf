#include "app/win32/CAboutBox.h"

#include "app/win32/DialogTemplate.h"
#include "app/win32/WindowPlacement.h"
#include "controls/win32/WideText.h"
#include "res/Layout.h"
#include "res/Strings.h"
#include "res/win32/ResourceIds.h"

void CAboutBox::DoModal(HWND owner) {
    namespace about = layout::aboutBox;
    DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, about::kWidth,
                          about::kHeight, WideText::FromUtf8(strings::kAboutCaption));
    dialog.AddPicture(-1, SS_ICON, about::kIcon, IDR_MAINFRAME);
    dialog.AddControl(DialogTemplate::Kind::Static, -1, SS_LEFT | SS_NOPREFIX | WS_GROUP,
                      about::kVersionText, WideText::FromUtf8(strings::kAboutVersion));
    dialog.AddControl(DialogTemplate::Kind::Button, IDOK, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP,
                      about::kOkButton, WideText::FromUtf8(strings::kOk));
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner, DialogProc, 0);
}

INT_PTR CALLBACK CAboutBox::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG:
        WindowPlacement::Center(hwnd, GetWindow(hwnd, GW_OWNER));
        return TRUE; // the focus to the OK button
    case WM_COMMAND:
        // IDOK from Enter, Space or a click; IDCANCEL from Esc and the close box.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

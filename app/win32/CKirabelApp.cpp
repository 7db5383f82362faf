#include "app/win32/CKirabelApp.h"

#include "app/win32/CKirabelDlg.h"

#include <commctrl.h>

int CKirabelApp::InitInstance() {
    // The controls in the look that the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CKirabelDlg dialog;
    dialog.DoModal();
    return 0;
}

#include "app/win32/CKirabelApp.h"

#include "app/win32/CKirabelDlg.h"

#include <commctrl.h>
#include <objbase.h>

int CKirabelApp::InitInstance() {
    // The controls in the look that the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The controls' accessible objects are COM objects: screen readers call
    // them through this thread's message loop.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        CKirabelDlg dialog;
        dialog.DoModal();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return 0;
}

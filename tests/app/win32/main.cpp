#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

// The controls in the look the manifest asks for, and the thread a COM
// apartment, as the program's start-up has them.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int result = RUN_ALL_TESTS();
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return result;
}

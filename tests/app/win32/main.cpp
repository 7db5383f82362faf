#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

// The controls in the look the manifest asks for, as the program's start-up has them.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return RUN_ALL_TESTS();
}

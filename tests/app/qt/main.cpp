#include "app/qt/CKirabelApp.h"

#include <gtest/gtest.h>

// The program's own application object, so the tests see its name and font;
// the offscreen platform needs no display.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    CKirabelApp app(argc, argv);
    return RUN_ALL_TESTS();
}

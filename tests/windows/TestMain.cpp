// The test program's own main: started with the save loop's or a child task's
// arguments, it is that child instead of the tests.
#include "tests/windows/ChildTask.h"
#include "tests/windows/SaveLoop.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (const int child = SaveLoop::RunIfAsked(); child >= 0) {
        return child;
    }
    if (const int child = ChildTask::RunIfAsked(); child >= 0) {
        return child;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The checked-in code page 932 edge table is glibc's: a row wrong there would
// otherwise pass on every platform.
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932Edges, TheCheckedInTableIsGlibcs) {
    EXPECT_EQ(testsupport::ReadBytes(KIRABEL_CP932_EDGES), testsupport::Cp932EdgesFromGlibc())
        << "write it again: build-ci/tests/support/cp932_edges > tests/data/cp932-edges.txt";
}

} // namespace

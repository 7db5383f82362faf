// Writes the code page 932 edge table as glibc gives it:
//   cp932_edges > tests/data/cp932-edges.txt
#include "tests/TestSupport.h"

#include <iostream>

int main() {
    std::cout << testsupport::Cp932EdgesFromGlibc();
    return 0;
}

// kirabel_generate RECORDS [FILE]: writes a generated question set to FILE, or
// prints the path of the cached one in the benchmark data folder.
#include "bench/QuestionSetGenerator.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s RECORDS [FILE]\n", argv[0]);
        return 2;
    }
    try {
        const std::size_t records = std::stoul(argv[1]);
        if (argc == 3) {
            bench::WriteWholeFile(argv[2], bench::GenerateQuestionSet(records));
        } else {
            std::printf("%s\n", bench::QuestionSetFile(records).c_str());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

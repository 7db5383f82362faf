// Loads one question-set file the way the window's open command does (set and
// selection pool) and prints the process's peak resident memory. Run as its own
// process so that nothing else the benchmarks hold counts towards the peak.
#include "session/QuizSession.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

long PeakKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.krb | --baseline\n", argv[0]);
        return 2;
    }
    QuizSession session;
    if (std::strcmp(argv[1], "--baseline") != 0) {
        session.Load(argv[1]);
        if (!session.HasSet()) {
            return 1;
        }
    }
    std::printf("peak_kib=%ld\n", PeakKib());
    return 0;
}

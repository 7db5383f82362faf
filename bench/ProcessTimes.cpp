// kirabel_process_times RUNS WARMUPS -- PROGRAM [ARGS...] [-- PROGRAM [ARGS...]]...
// Starts the programs in turns, in a new random order each round, and waits
// for each to end, so that on a shared machine every program meets the same
// disturbances (batches of one program after another meet different ones).
// The first WARMUPS rounds are not counted. Prints one CSV line per program:
// its command, then the median, mean and least wall time and the median CPU
// time (user and system) of its runs, in milliseconds.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Program {
    std::vector<char*> argv; // ends with nullptr
    std::string command;
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
};

double Ms(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs the program once with its output discarded; false if it could not
// start or did not end with status 0.
bool RunOnce(Program& program, bool counted) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error =
        posix_spawn(&pid, program.argv[0], &actions, nullptr, program.argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program.argv[0], std::strerror(error));
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return false;
    }
    const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", program.command.c_str());
        return false;
    }
    if (counted) {
        program.wallMs.push_back(wall.count());
        program.cpuMs.push_back(Ms(usage.ru_utime) + Ms(usage.ru_stime));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(stderr, "usage: %s RUNS WARMUPS -- PROGRAM [ARGS...] [-- PROGRAM...]...\n",
                     argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const int warmups = std::max(0, std::atoi(argv[2]));
    std::vector<Program> programs;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            programs.emplace_back();
            continue;
        }
        Program& program = programs.back();
        program.argv.push_back(argv[i]);
        if (!program.command.empty()) {
            program.command += ' ';
        }
        program.command += argv[i];
    }
    for (Program& program : programs) {
        if (program.argv.empty()) {
            std::fprintf(stderr, "an empty command\n");
            return 2;
        }
        program.argv.push_back(nullptr);
    }

    std::vector<std::size_t> order(programs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::mt19937 engine(std::random_device{}());
    for (int round = 0; round < warmups + runs; ++round) {
        std::shuffle(order.begin(), order.end(), engine);
        for (const std::size_t index : order) {
            if (!RunOnce(programs[index], round >= warmups)) {
                return 1;
            }
        }
    }

    std::printf("command,median_ms,mean_ms,min_ms,cpu_median_ms\n");
    for (const Program& program : programs) {
        const double mean = std::accumulate(program.wallMs.begin(), program.wallMs.end(), 0.0) /
                            static_cast<double>(program.wallMs.size());
        std::printf("%s,%.3f,%.3f,%.3f,%.3f\n", program.command.c_str(), Median(program.wallMs),
                    mean, *std::min_element(program.wallMs.begin(), program.wallMs.end()),
                    Median(program.cpuMs));
    }
    return 0;
}

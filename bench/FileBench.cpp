// Question-set file and drill benchmarks, each beside its floor measured in the
// same run. Prints Google Benchmark's table, then a summary of the ratios and the
// peak memory of a separate process that loads the largest file.
//
// Own flag: --summary=FILE also writes the summary as a Markdown table.
#include "bench/Floors.h"
#include "bench/QuestionSetGenerator.h"

#include "questions/FileLock.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "session/QuestionPool.h"
#include "session/QuizOwner.h"
#include "session/QuizSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#ifndef KIRABEL_PEAK_TOOL
#define KIRABEL_PEAK_TOOL "kirabel_peak_memory"
#endif

namespace {

constexpr std::size_t kSizes[] = {1000, 200000, 1000000};
constexpr std::uint32_t kSeed = 20240601;

// --- state shared by the benchmarks, built on first use ---

std::map<std::size_t, std::unique_ptr<QuestionSetFile>>& DrillSets() {
    static std::map<std::size_t, std::unique_ptr<QuestionSetFile>> sets;
    return sets;
}

QuestionSet& DrillSet(std::size_t records) {
    auto& slot = DrillSets()[records];
    if (!slot) {
        slot = QuestionSetFile::Load(bench::QuestionSetFile(records));
    }
    return slot->Records();
}

// Files beside the generated ones that the save benchmarks may rewrite.
std::string SaveTarget(std::size_t records, const char* kind) {
    return bench::DataDirectory() + "/" + kind + "-" + std::to_string(records) + ".krb";
}

class NullOwner : public QuizOwner {
public:
    void SetQuestionText(const std::string& text) override { benchmark::DoNotOptimize(text); }
    void SetAnswerText(const std::string&) override {}
    void SetAnswerTextColor(Color) override {}
    void SetNumberText(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void SetAnswerBoxText(const std::string&) override {}
    std::string GetAnswerBoxText() override { return {}; }
    void EnableAnswerBox(bool) override {}
    void EnableNextButton(bool) override {}
    void ShowRightMark(bool) override {}
    void ShowWrongMark(bool) override {}
    void FocusAnswerBox() override {}
    void FocusNextButton() override {}
    void SetAnswerDescription(const std::string&) override {}
    void SetHintText(const std::string&) override {}
    void SetAnswerBoxDescription(const std::string&) override {}
    void SetNextButtonDescription(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
};

// --- the benchmarks ---

void LoadFile(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        auto set = QuestionSetFile::Load(path);
        benchmark::DoNotOptimize(set.get());
        state.PauseTiming(); // freeing is not part of loading
        set.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void LoadFloorFile(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        auto set = std::make_unique<bench::FloorSet>();
        bench::LoadFloor(path, *set);
        benchmark::DoNotOptimize(set.get());
        state.PauseTiming();
        set.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void Load(benchmark::State& state, std::size_t records) {
    LoadFile(state, bench::QuestionSetFile(records));
}

void LoadFloor(benchmark::State& state, std::size_t records) {
    LoadFloorFile(state, bench::QuestionSetFile(records));
}

void LoadUtf8(benchmark::State& state, std::size_t records) {
    LoadFile(state, bench::Utf8QuestionSetFile(records));
}

void LoadUtf8Floor(benchmark::State& state, std::size_t records) {
    LoadFloorFile(state, bench::Utf8QuestionSetFile(records));
}

std::unique_ptr<QuestionSetFile> SetToSave(std::size_t records, const char* kind) {
    const std::string target = SaveTarget(records, kind);
    std::filesystem::copy_file(bench::QuestionSetFile(records), target,
                               std::filesystem::copy_options::overwrite_existing);
    return QuestionSetFile::Load(target);
}

// One right answer since the last save: the usual save at the end of a run.
void Save(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "save");
    std::size_t next = 0;
    for (auto _ : state) {
        set->Records().At(next++ % set->Records().Size())->AddCorrect();
        set->Save();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(set->GetPath())));
}

// The same with the lock already held by this process, which the save then
// takes again at no cost: the save less the lock's own time.
void SaveLockHeld(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "save");
    const FileLock held(set->GetPath());
    std::size_t next = 0;
    for (auto _ : state) {
        set->Records().At(next++ % set->Records().Size())->AddCorrect();
        set->Save();
    }
}

// The lock alone: taken and let go, as each save does.
void LockAlone(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "lock");
    for (auto _ : state) {
        const FileLock lock(set->GetPath());
        benchmark::DoNotOptimize(lock.TimedOut());
    }
}

// A set with a second hard link: a whole copy beside it, then rewritten in place.
void SaveHardLinked(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "linked");
    const std::string twin = set->GetPath() + ".twin";
    std::filesystem::remove(twin);
    std::filesystem::create_hard_link(set->GetPath(), twin);
    std::size_t next = 0;
    for (auto _ : state) {
        set->Records().At(next++ % set->Records().Size())->AddCorrect();
        set->Save();
    }
    std::filesystem::remove(twin);
}

// A run of 100 right answers, while an editor added a line to the file.
void SaveMerging(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "merge");
    const std::string original = bench::ReadWholeFile(set->GetPath());
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench::WriteWholeFile(set->GetPath(), original + "\x90\x56 new 0\r\n");
        for (int i = 0; i < 100; ++i) {
            set->Records().At((next += 7919) % set->Records().Size())->AddCorrect();
        }
        state.ResumeTiming();
        set->Save();
    }
}

// One right answer saved into a file an editor changed, in a process that has
// loaded and let go of sets before, as the window has after opening another file.
void SaveMergingAfterOthers(benchmark::State& state, std::size_t records) {
    for (int i = 0; i < 2; ++i) {
        benchmark::DoNotOptimize(QuestionSetFile::Load(bench::QuestionSetFile(records)).get());
    }
    auto set = SetToSave(records, "merge-after");
    const std::string original = bench::ReadWholeFile(set->GetPath());
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench::WriteWholeFile(set->GetPath(), original + "\x90\x56 new 0\r\n");
        set->Records().At((next += 7919) % set->Records().Size())->AddCorrect();
        state.ResumeTiming();
        set->Save();
    }
}

// What a merge should cost: the file read once and written once.
void LoadAndSave(benchmark::State& state, std::size_t records) {
    const std::string target = SaveTarget(records, "load-save");
    const std::string original = bench::ReadWholeFile(bench::QuestionSetFile(records));
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench::WriteWholeFile(target, original);
        state.ResumeTiming();
        auto set = QuestionSetFile::Load(target);
        set->Records().At((next += 7919) % set->Records().Size())->AddCorrect();
        set->Save();
        state.PauseTiming();
        set.reset();
        state.ResumeTiming();
    }
}

void SaveFloor(benchmark::State& state, std::size_t records) {
    const std::string target = SaveTarget(records, "floor");
    const std::string bytes = bench::ReadWholeFile(bench::QuestionSetFile(records));
    for (auto _ : state) {
        bench::SaveFloor(target, bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}

void Pick(benchmark::State& state, std::size_t records) {
    QuestionPool pool(DrillSet(records));
    QuestionPool::SeedRandom(kSeed);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pool.PickNext());
    }
}

void PickFloor(benchmark::State& state, std::size_t records) {
    QuestionSet& set = DrillSet(records);
    std::vector<Question*> pool;
    pool.reserve(set.Size());
    for (std::size_t i = 0; i < set.Size(); ++i) {
        pool.push_back(set.At(i));
    }
    std::mt19937 engine(kSeed);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::PickFloor(pool, engine));
    }
}

// Open a file and show its first question, as the open command does minus the window.
void SessionOpen(benchmark::State& state, std::size_t records) {
    const std::string path = bench::QuestionSetFile(records);
    NullOwner owner;
    QuizSession session;
    QuizSession::SetOwner(&owner);
    for (auto _ : state) {
        session.Reset();
        session.Load(path);
        session.ShowNextQuestion();
        state.PauseTiming();
        session.Reset();
        state.ResumeTiming();
    }
    QuizSession::SetOwner(nullptr);
}

struct Pairing {
    const char* name;
    void (*work)(benchmark::State&, std::size_t);
    void (*floor)(benchmark::State&, std::size_t);
    const char* floorText;
    double target;
    // CPU-bound work is compared in process CPU time, which other programs on a
    // shared machine disturb far less than wall time; the save waits for the
    // disk, so it is compared in wall time.
    bool cpuTime;
};

const Pairing kPairings[] = {
    {"QuestionSetFile::Load", Load, LoadFloor, "one read, split, one record per line", 1.5, true},
    {"QuestionSetFile::Load UTF-8", LoadUtf8, LoadUtf8Floor,
     "the same for the set in UTF-8 (one read, split, one record per line)", 1.5, true},
    {"QuestionSetFile::Save", Save, SaveFloor, "same bytes to a new file, fsync, rename", 2.0,
     false},
    {"QuestionSetFile::Save with its lock", Save, SaveLockHeld,
     "the same save with the lock held already (less the lock's own time)", 1.1, false},
    {"QuestionSetFile::Save merging", SaveMerging, Save,
     "a save of the same set that finds the file as it left it (QuestionSetFile::Save)", 3.0,
     false},
    {"QuestionSetFile::Save merging, after other sets", SaveMergingAfterOthers, LoadAndSave,
     "a load and a save of the same file (QuestionSetFile::Load, QuestionSetFile::Save)", 1.5,
     true},
    {"PickNext", Pick, PickFloor, "std::shuffle of pointers + min scan", 1.5, true},
};

// Nothing answered since the last save: no write, just the look at the counts.
void SaveUnchanged(benchmark::State& state, std::size_t records) {
    auto set = SetToSave(records, "unchanged");
    for (auto _ : state) {
        set->Save();
    }
}

std::string FloorName(const std::string& name) {
    return name + ".floor";
}

// Built by append: GCC 12 warns falsely (-Wrestrict) about "literal" + std::string&&.
std::string Suffix(std::size_t records) {
    return std::string("/").append(std::to_string(records));
}

void RegisterAll() {
    for (const Pairing& pairing : kPairings) {
        for (const std::size_t records : kSizes) {
            const std::string suffix = Suffix(records);
            const bool slow = pairing.work != Pick;
            for (const bool floor : {false, true}) {
                const std::string name =
                    (floor ? FloorName(pairing.name) : std::string(pairing.name)) + suffix;
                auto* function = floor ? pairing.floor : pairing.work;
                benchmark::RegisterBenchmark(
                    name.c_str(),
                    [function, records](benchmark::State& state) { function(state, records); })
                    ->Unit(slow ? benchmark::kMillisecond : benchmark::kMicrosecond)
                    ->UseRealTime();
            }
        }
    }
    benchmark::RegisterBenchmark("QuizSession open+first question/200000",
                                 [](benchmark::State& state) { SessionOpen(state, 200000); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("FileLock taken and let go/200000",
                                 [](benchmark::State& state) { LockAlone(state, 200000); })
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("QuestionSetFile::Save hard-linked/200000",
                                 [](benchmark::State& state) { SaveHardLinked(state, 200000); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("QuestionSetFile::Save unchanged/200000",
                                 [](benchmark::State& state) { SaveUnchanged(state, 200000); })
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
}

// --- summary ---

// Keeps every repetition's time per iteration, by benchmark name.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                const auto iterations = static_cast<double>(run.iterations);
                m_seconds[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                                iterations);
                m_cpuSeconds[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                                   iterations);
            }
        }
    }

    // Best and median seconds per iteration; false when the benchmark did not run.
    bool Figures(const std::string& name, double& best, double& median, bool cpu = false) const {
        const auto& seconds = cpu ? m_cpuSeconds : m_seconds;
        const auto found = seconds.find(name);
        if (found == seconds.end() || found->second.empty()) {
            return false;
        }
        std::vector<double> times = found->second;
        std::sort(times.begin(), times.end());
        best = times.front();
        const std::size_t n = times.size();
        median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        return true;
    }

    std::size_t Repetitions() const {
        std::size_t most = 0;
        for (const auto& entry : m_seconds) {
            most = std::max(most, entry.second.size());
        }
        return most;
    }

private:
    std::map<std::string, std::vector<double>> m_seconds;
    std::map<std::string, std::vector<double>> m_cpuSeconds;
};

std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    }
    return text;
}

long PeakKib(const std::string& argument) {
    const std::string command = std::string("'") + KIRABEL_PEAK_TOOL + "' '" + argument + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return -1;
    }
    long kib = -1;
    if (std::fscanf(pipe, "peak_kib=%ld", &kib) != 1) {
        kib = -1;
    }
    ::pclose(pipe);
    return kib;
}

std::string Summary(const CollectingReporter& reporter) {
    std::ostringstream out;
    char line[256];
    out << "| work | records | figure (median) | floor (median) | ratio of medians | ratio of "
           "bests | ratio in wall time | target |\n|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Pairing& pairing : kPairings) {
        for (const std::size_t records : kSizes) {
            const std::string suffix = Suffix(records);
            double workBest = 0, workMedian = 0, floorBest = 0, floorMedian = 0;
            if (!reporter.Figures(pairing.name + suffix, workBest, workMedian, pairing.cpuTime) ||
                !reporter.Figures(FloorName(pairing.name) + suffix, floorBest, floorMedian,
                                  pairing.cpuTime)) {
                continue;
            }
            const double ratio = workMedian / floorMedian;
            double wallBest = 0, wallMedian = 0, wallFloorBest = 0, wallFloorMedian = 0;
            reporter.Figures(pairing.name + suffix, wallBest, wallMedian);
            reporter.Figures(FloorName(pairing.name) + suffix, wallFloorBest, wallFloorMedian);
            std::snprintf(line, sizeof line,
                          "| %s | %zu | %s %s | %s | %.2fx %s | %.2fx | %.2fx | <= %.1fx |\n",
                          pairing.name, records, Duration(workMedian).c_str(),
                          pairing.cpuTime ? "cpu" : "wall", Duration(floorMedian).c_str(), ratio,
                          ratio <= pairing.target ? "ok" : "MISSED", workBest / floorBest,
                          wallMedian / wallFloorMedian, pairing.target);
            out << line;
        }
    }
    double best = 0, median = 0;
    if (reporter.Figures("QuizSession open+first question/200000", best, median)) {
        std::snprintf(line, sizeof line,
                      "| QuizSession open + first question | 200000 | %s wall | | | | | |\n",
                      Duration(median).c_str());
        out << line;
    }
    if (reporter.Figures("QuestionSetFile::Save unchanged/200000", best, median)) {
        std::snprintf(
            line, sizeof line,
            "| QuestionSetFile::Save, nothing raised | 200000 | %s wall | | | | | < 1 ms |\n",
            Duration(median).c_str());
        out << line;
    }
    out << "\nFloors, measured in the same run:\n\n";
    for (const Pairing& pairing : kPairings) {
        out << "- " << pairing.name << ": " << pairing.floorText << "\n";
    }
    out << "\n| peak memory of a process that opens the file | records | file size | peak "
           "(VmHWM) | peak / file size | target |\n|---|---:|---:|---:|---:|---:|\n";
    const long baseline = PeakKib("--baseline");
    for (const std::size_t records : {std::size_t{200000}, std::size_t{1000000}}) {
        const std::string path = bench::QuestionSetFile(records);
        const double size = static_cast<double>(std::filesystem::file_size(path));
        const long kib = PeakKib(path);
        if (kib < 0) {
            out << "| QuizSession::Load | " << records << " | peak not measured | | | |\n";
            continue;
        }
        const double ratio = kib * 1024.0 / size;
        std::snprintf(line, sizeof line,
                      "| QuizSession::Load | %zu | %.1f MiB | %.1f MiB | %.2fx %s | %s |\n",
                      records, size / 1048576.0, kib / 1024.0, ratio,
                      records == 1000000 ? (ratio <= 5.0 ? "ok" : "MISSED") : "",
                      records == 1000000 ? "<= 5x" : "");
        out << line;
    }
    if (baseline >= 0) {
        std::snprintf(line, sizeof line,
                      "\nThe same process without loading anything peaks at %.1f MiB.\n",
                      baseline / 1024.0);
        out << line;
    }
    out << "Times per operation, median and best of " << reporter.Repetitions()
        << " repetitions; cpu: process CPU time, wall: elapsed time.\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv) {
    std::string summaryPath;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--summary=", 0) == 0) {
            summaryPath = argument.substr(10);
        } else {
            arguments.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        return 1;
    }
    for (const std::size_t records : kSizes) {
        bench::Utf8QuestionSetFile(records); // generate both before any timing
    }
    RegisterAll();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string summary = Summary(reporter);
    std::printf("\nSummary (ratio = figure / floor, both from this run)\n\n%s", summary.c_str());
    if (!summaryPath.empty()) {
        bench::WriteWholeFile(summaryPath, summary);
    }
    return 0;
}

#pragma once

// Saves killed at random moments, as a crash or a power cut would end them,
// on every platform: each kill must leave the old file or the new one, never
// a mix, a short file or an older one; what killed saves leave is a temporary
// file beside the set, which one ordinary save clears.

#include "questions/AtomicFile.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace testsupport {

// The moments of a hard-linked set's in-place rewrite that a kill is tried at,
// and the count the next read finds when the save raised 9 to 10: only a copy
// not yet whole leaves the old counts.
struct InPlaceMoment {
    AtomicFile::Moment moment;
    const char* name;
    int count;
};
inline constexpr InPlaceMoment kInPlaceMoments[] = {
    {AtomicFile::Moment::kCopyHalfWritten, "copy half written", 9},
    {AtomicFile::Moment::kCopyReady, "copy complete", 10},
    {AtomicFile::Moment::kReserved, "room reserved", 10},
    {AtomicFile::Moment::kHalfWritten, "half rewritten", 10},
    {AtomicFile::Moment::kWritten, "rewritten, not on the disk yet", 10},
    {AtomicFile::Moment::kSynced, "on the disk, copy not removed", 10},
};

// Loads the set, raises every count and saves it.
void LoadRaiseAllSave(const std::filesystem::path& path);

// What a child runs until it is killed: loads the set, calls `loaded`, then
// raises every count and saves, over and over. Returns only when one throws.
void SaveForEver(const std::filesystem::path& path, const std::function<void()>& loaded = {});

class KillLoop {
public:
    // A set of `records` lines, all counts 0, at `file`; `names` the folder's
    // names besides the temporaries (the set, and a hard link to it, say).
    KillLoop(std::filesystem::path file, int records, std::set<std::string> names);

    // Before each kill; the kill's number.
    std::function<void(int)> prepare = [](int) {};
    // Starts a child running SaveForEver on the file, kills it after
    // `microseconds` and waits for its end; asserts that the kill ended it.
    std::function<void(int kill, unsigned microseconds)> killSave;
    // After each kill, before the file is judged.
    std::function<void(int)> afterKill = [](int) {};
    // Each temporary name when first seen.
    std::function<void(const std::string&)> leftover = [](const std::string&) {};

    // `kills` kills, each after 0 to `maxMicroseconds`; then one ordinary save.
    // Use with ASSERT_NO_FATAL_FAILURE.
    void Run(int kills, unsigned maxMicroseconds);

    int last = 0;    // the counts the file reached
    int changed = 0; // kills after which the file held new content
    std::set<std::string> leftovers;

private:
    std::filesystem::path m_file;
    int m_records;
    std::set<std::string> m_names;
};

} // namespace testsupport

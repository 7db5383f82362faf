#pragma once

#include "questions/FileStamp.h"

#include <cstddef>
#include <memory>
#include <string>

// Writes a file's new content beside it and puts it in place only once it is
// complete and on disk, so a crash or a full disk never leaves the learner
// with a half-written file. One flow for every platform, over the system
// calls of SaveCalls.
//
// Falls back to rewriting the file itself where a replacement would change
// what the learner sees (the file has other hard links, or a different owner
// that cannot be kept) or where no temporary file can be made beside it. A
// file with other hard links gets its complete new content beside it first,
// as ".<name>.kirabel-<process id>-<random>.copy"; a rewrite cut short is
// finished from it by RepairInterrupted, so that the file always reads whole.
//
// The temporary file is named ".<name>.kirabel-<process id>-<random>.tmp"
// beside the file. A successful save removes those that saves of the same
// file left when they were killed, but never one whose process still runs.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    bool Write(const char* data, std::size_t size);
    // Syncs the new content and puts it in place; false when any step failed,
    // in which case the original file is as it was. (Written in place, only a
    // failure after room for the new content was reserved, such as an I/O
    // error, can leave it part new, part old.)
    bool Commit();
    // The file as the committed save left it.
    const FileStamp& Stamp() const;
    // Why Write or Commit failed, in words for the learner.
    std::string FailureReason() const;

    // Puts the copy that a killed in-place save of `path` left into the file,
    // unless the file holds it already, and removes it. Called under FileLock.
    static void RepairInterrupted(const std::string& path);

    // The moments of an in-place save, for tests that end the process at one.
    enum class Moment { kCopyHalfWritten, kCopyReady, kReserved, kHalfWritten, kWritten, kSynced };
    using FaultHook = void (*)(Moment);
    static void SetFaultHook(FaultHook hook);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

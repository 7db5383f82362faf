#pragma once

#include "questions/FileStamp.h"

#include <cstddef>
#include <memory>
#include <string>

// Writes a file's new content beside it and puts it in place only once it is
// complete and on disk, so a crash or a full disk never leaves the learner
// with a half-written file. One implementation per platform.
//
// Falls back to rewriting the file itself where a replacement would change
// what the learner sees (the file has other hard links, or a different owner
// that cannot be kept) or where no temporary file can be made beside it.
//
// The temporary file is named ".<name>.<process id>.<random>" beside the file.
// A successful save removes those that saves of the same file left when they
// were killed, but never one whose process still runs.
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

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes a file's new content beside it and puts it in place only once it is
// complete and on disk, so a crash or a full disk never leaves the learner
// with a half-written file. This is the one place that talks to the operating
// system's file API (POSIX); the rest of the program uses standard streams.
//
// Falls back to rewriting the file itself where a replacement would change
// what the learner sees (the file has other hard links, or a different owner
// that cannot be kept) or where no temporary file can be made beside it.
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

private:
    bool OpenTemporary(const std::string& directory, const std::string& name, unsigned mode,
                       unsigned owner, unsigned group);
    bool OpenInPlace();
    void WriteAll(const char* data, std::size_t size);
    bool WritePendingInPlace();
    void Discard();

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false;
    bool m_created = false;
    unsigned m_mode = 0;
    std::uint64_t m_written = 0;
    std::string m_pending; // the content of an in-place write, until Commit
};

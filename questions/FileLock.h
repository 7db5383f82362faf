#pragma once

#include <memory>
#include <string>

// Keeps the Kirabel processes of this machine from saving one set at the same
// time: a save checks whether the file changed and replaces it under this
// lock, so that no two saves can miss each other's answers. Another program
// never sees it (no file of its own is made). One wait for every platform,
// over the system calls of LockCalls.
//
// Taken again by the process that holds it, it is the same lock. Once taken,
// it first puts back an in-place save of the file that was cut short
// (AtomicFile::RepairInterrupted).
class FileLock {
public:
    // Waits a short while for another process that holds it. Where the file
    // and its folder cannot be locked at all (gone, say), nothing is held and
    // the caller goes on: what it then does fails for a reason of its own.
    explicit FileLock(const std::string& path);
    FileLock(FileLock&&) noexcept;
    FileLock& operator=(FileLock&&) noexcept;
    ~FileLock();

    // For the start of a save: throws the failed save's CpException when
    // another process held the lock for the whole wait.
    static FileLock ForSave(const std::string& path);

    // Another process held the lock for the whole wait.
    bool TimedOut() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

#include "questions/LockCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock this process holds: its descriptor, and how often it was taken. A
// flock taken again through another descriptor would wait for itself.
struct Holding {
    int fd = -1;
    int count = 0;
};

std::mutex& HeldMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, Holding>& Holdings() {
    static std::map<std::string, Holding> held;
    return held;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The set itself, so that every name of it (links, hard links) meets the same
// lock; its folder while there is no such file. Not a file of its own, since
// Kirabel makes none. -1 when neither can be opened.
int OpenLockable(const std::string& path, bool& isFolder) {
    isFolder = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1; // not a set a save could write
    }
    if (fd < 0 && errno == ENOENT) {
        isFolder = true;
        fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return fd;
}

// Whether the path still names what `fd` locked: a save that held the lock
// before may have put a new file in the old one's place.
bool StillNamed(const std::string& path, int fd, bool isFolder) {
    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (isFolder) {
        return !exists && errno == ENOENT;
    }
    struct stat locked {};
    return exists && ::fstat(fd, &locked) == 0 && named.st_dev == locked.st_dev &&
           named.st_ino == locked.st_ino;
}

std::string KeyOf(int fd) {
    struct stat info {};
    ::fstat(fd, &info);
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

// Counts the lock once more when this process holds it already.
bool TakenAgain(const std::string& key) {
    const std::lock_guard guard(HeldMutex());
    const auto held = Holdings().find(key);
    if (held == Holdings().end()) {
        return false;
    }
    ++held->second.count;
    return true;
}

} // namespace

LockCalls::Taken LockCalls::TryTake(const std::string& path, Held& held, std::uint32_t) {
    bool isFolder = false;
    const int fd = OpenLockable(path, isFolder);
    if (fd < 0) {
        return Taken::kNever;
    }
    std::string key = KeyOf(fd);
    if (TakenAgain(key)) {
        ::close(fd);
        held.key = std::move(key);
        return Taken::kAgain;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        // Else a file system without locks.
        return error == EWOULDBLOCK || error == EINTR ? Taken::kBusy : Taken::kNever;
    }
    if (!StillNamed(path, fd, isFolder)) {
        ::close(fd);
        return Taken::kMoved;
    }
    const std::lock_guard guard(HeldMutex());
    Holdings()[key] = {fd, 1};
    held.key = std::move(key);
    held.handle = fd;
    return Taken::kFirst;
}

void LockCalls::Release(Held& held) {
    if (held.key.empty()) {
        return;
    }
    const std::lock_guard guard(HeldMutex());
    const auto holding = Holdings().find(held.key);
    held.key.clear();
    // The lock goes with its descriptor, once whoever took it last lets go,
    // in whatever order they do.
    if (holding != Holdings().end() && --holding->second.count == 0) {
        ::close(holding->second.fd);
        Holdings().erase(holding);
    }
}

#include "questions/FileLock.h"

#include "questions/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace {

// A hung Kirabel must not stop the drill for long; a save of a million
// records takes well under this.
constexpr auto kWait = std::chrono::milliseconds(1500);

using FileKey = std::pair<dev_t, ino_t>;

// The locks this process holds, by file, with how often each was taken: a
// flock taken again through another descriptor would wait for itself.
std::mutex& HeldMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<FileKey, int>& Held() {
    static std::map<FileKey, int> held;
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

FileKey KeyOf(int fd) {
    struct stat info {};
    ::fstat(fd, &info);
    return {info.st_dev, info.st_ino};
}

void Pause(std::chrono::milliseconds length) {
    const timespec pause{0, static_cast<long>(length.count()) * 1000000};
    ::nanosleep(&pause, nullptr);
}

} // namespace

class FileLock::Impl {
public:
    explicit Impl(const std::string& path);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    bool m_timedOut = false;

private:
    int m_fd = -1;
    bool m_counted = false; // in Held(), by m_key
    FileKey m_key{};
};

FileLock::Impl::Impl(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        bool isFolder = false;
        const int fd = OpenLockable(path, isFolder);
        if (fd < 0) {
            return;
        }
        const FileKey key = KeyOf(fd);
        {
            const std::lock_guard guard(HeldMutex());
            if (const auto held = Held().find(key); held != Held().end()) {
                ++held->second; // this process has it already
                ::close(fd);
                m_key = key;
                m_counted = true;
                return;
            }
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (StillNamed(path, fd, isFolder)) {
                m_fd = fd;
                m_key = key;
                m_counted = true;
                const std::lock_guard guard(HeldMutex());
                Held()[key] = 1;
                break;
            }
            ::close(fd); // replaced meanwhile: lock what the path names now
            if (std::chrono::steady_clock::now() >= deadline) {
                m_timedOut = true;
                return;
            }
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR) {
            return; // a file system without locks: as before there were any
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_timedOut = true;
            return;
        }
        Pause(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(16));
    }
    AtomicFile::RepairInterrupted(path);
}

FileLock::Impl::~Impl() {
    if (!m_counted) {
        return;
    }
    const std::lock_guard guard(HeldMutex());
    const auto held = Held().find(m_key);
    if (held == Held().end() || --held->second > 0) {
        return;
    }
    Held().erase(held);
    if (m_fd >= 0) {
        ::close(m_fd); // the lock goes with the last descriptor
    }
}

FileLock::FileLock(const std::string& path) : m_impl(std::make_unique<Impl>(path)) {}
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&&) noexcept = default;
FileLock::~FileLock() = default;

bool FileLock::TimedOut() const {
    return m_impl && m_impl->m_timedOut;
}

#include "questions/AtomicFile.h"

#include "questions/FileSystem.h"
#include "questions/TemporaryName.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kEarlyWriteback = 1 << 18;

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool IsRunning(long pid) {
    // EPERM: it runs, under another user.
    return pid > 0 && pid <= INT_MAX && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

AtomicFile::FaultHook s_faultHook = nullptr;

void Reached(AtomicFile::Moment moment) {
    if (s_faultHook != nullptr) {
        s_faultHook(moment);
    }
}

// The errno of a save that cannot even start, 0 when it can.
int WhyNotWritable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return EISDIR;
    }
    // Without any write bit the file is read-only by intent, even for root.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

// The path a save writes: through a symbolic link into its target.
std::string TargetOf(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// The first error of a write that stopped, 0 when all went.
int WriteAllTo(int fd, const char* data, std::size_t size, std::uint64_t* written = nullptr) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done <= 0) {
            if (done < 0 && errno == EINTR) {
                continue;
            }
            return done < 0 ? errno : ENOSPC;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        if (written != nullptr) {
            *written += static_cast<std::uint64_t>(done);
        }
    }
    return 0;
}

// Room for `size` bytes without changing what the file shows: a kill right
// after it leaves the old content as it was, not followed by zero bytes.
// Some file systems cannot reserve; they are written as they are.
int Reserve(int fd, off_t size) {
    if (size == 0) {
        return 0;
    }
#if defined(__linux__)
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) {
        return 0;
    }
    const int error = errno;
#else
    (void)fd;
    const int error = EOPNOTSUPP;
#endif
    return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL ? 0 : error;
}

// Writes `content` over the file from its start and cuts it there, on disk
// when it returns 0; the errno of the step that failed otherwise.
int Rewrite(int fd, const std::string& content) {
    const auto size = static_cast<off_t>(content.size());
    if (const int error = Reserve(fd, size); error != 0) {
        return error;
    }
    Reached(AtomicFile::Moment::kReserved);
    const std::size_t half = content.size() / 2;
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        return errno;
    }
    if (const int error = WriteAllTo(fd, content.data(), half); error != 0) {
        return error;
    }
    Reached(AtomicFile::Moment::kHalfWritten);
    if (const int error = WriteAllTo(fd, content.data() + half, content.size() - half);
        error != 0) {
        return error;
    }
    if (::ftruncate(fd, size) != 0) {
        return errno;
    }
    Reached(AtomicFile::Moment::kWritten);
    return ::fsync(fd) == 0 ? 0 : errno;
}

bool ReadWhole(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    content.clear();
    char buffer[1 << 16];
    ssize_t done = 0;
    while ((done = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(done));
    }
    ::close(fd);
    return done == 0;
}

// A plain file that this user made.
bool IsOwnFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace

class AtomicFile::Impl {
public:
    explicit Impl(const std::string& path);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    bool Write(const char* data, std::size_t size);
    bool Commit();
    const FileStamp& Stamp() const { return m_stamp; }
    int Error() const { return m_error; }

private:
    int OpenTemporary(std::string& name, unsigned mode, unsigned owner, unsigned group);
    bool OpenInPlace();
    void Fail(int error);
    void WriteAll(const char* data, std::size_t size);
    bool WriteCopy();
    bool WritePendingInPlace();
    void Discard();
    void RemoveLeftovers() const;

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false;
    bool m_created = false;
    int m_error = 0; // errno of the first step that failed
    unsigned m_mode = 0;
    unsigned m_owner = 0;
    unsigned m_group = 0;
    bool m_withCopy = false; // in place, with the new content beside it first
    std::string m_copy;      // that copy, once complete
    std::uint64_t m_written = 0;
    std::string m_pending; // the content of an in-place write, until Commit
    FileStamp m_stamp;
};

AtomicFile::AtomicFile(const std::string& path) : m_impl(std::make_unique<Impl>(path)) {}

AtomicFile::~AtomicFile() = default;

bool AtomicFile::Write(const char* data, std::size_t size) {
    return m_impl->Write(data, size);
}

bool AtomicFile::Commit() {
    return m_impl->Commit();
}

const FileStamp& AtomicFile::Stamp() const {
    return m_impl->Stamp();
}

std::string AtomicFile::FailureReason() const {
    return FileSystem::ReasonOf(m_impl->Error() != 0 ? m_impl->Error() : EIO);
}

void AtomicFile::SetFaultHook(FaultHook hook) {
    s_faultHook = hook;
}

AtomicFile::Impl::Impl(const std::string& path) : m_target(TargetOf(path)) {
    struct stat info {};
    if (::stat(m_target.c_str(), &info) != 0) {
        // A new file: there is nothing to lose by creating it directly.
        const int error = errno;
        m_created = error == ENOENT && OpenInPlace();
        if (!m_created) {
            Fail(error == ENOENT ? errno : error);
        }
        return;
    }
    if (const int error = WhyNotWritable(m_target); error != 0) {
        Fail(error);
        return;
    }
    m_mode = info.st_mode & 07777;
    m_owner = info.st_uid;
    m_group = info.st_gid;
    if (info.st_nlink > 1) {
        m_withCopy = true;
    } else {
        m_fd = OpenTemporary(m_temporary, m_mode, m_owner, m_group);
    }
    if (m_fd < 0 && !OpenInPlace()) {
        Fail(errno);
    }
}

AtomicFile::Impl::~Impl() {
    if (!m_committed) {
        Discard();
    }
}

int AtomicFile::Impl::OpenTemporary(std::string& name, unsigned mode, unsigned owner,
                                    unsigned group) {
    // mkstemps fills the Xs with letters and digits.
    std::string pattern =
        DirectoryOf(m_target) + "/" +
        temporaryname::Make<char>(NameOf(m_target), static_cast<unsigned long long>(::getpid()),
                                  std::string(temporaryname::kRandomLength, 'X'));
    const int fd =
        ::mkstemps(pattern.data(), static_cast<int>(temporaryname::Suffix<char>().size()));
    if (fd < 0) {
        return -1;
    }
    // Never more readable than the file it replaces, even while being written.
    struct stat created {};
    bool kept = ::fchmod(fd, (mode & S_IRUSR) | S_IWUSR) == 0 && ::fstat(fd, &created) == 0;
    if (kept && (created.st_uid != owner || created.st_gid != group)) {
        kept = ::fchown(fd, owner, group) == 0;
    }
    if (!kept) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return -1;
    }
    name = std::move(pattern);
    return fd;
}

bool AtomicFile::Impl::OpenInPlace() {
    // Not truncated now: the old content stays until the new one is written.
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

void AtomicFile::Impl::Fail(int error) {
    m_failed = true;
    if (m_error == 0) {
        m_error = error;
    }
}

void AtomicFile::Impl::Discard() {
    if (!m_copy.empty()) {
        ::unlink(m_copy.c_str());
        m_copy.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    if (m_created) {
        // A file this save created and could not finish is not left behind.
        ::unlink(m_target.c_str());
        m_created = false;
    }
}

bool AtomicFile::Impl::Write(const char* data, std::size_t size) {
    if (m_failed) {
        return false;
    }
    if (m_temporary.empty()) {
        // In place, the file is not touched before the whole content is known
        // and room for it is reserved: a full disk then fails before the first
        // byte is overwritten.
        m_pending.append(data, size);
        return true;
    }
    const std::uint64_t from = m_written;
    WriteAll(data, size);
#if defined(__linux__)
    if (!m_failed && m_written - from >= kEarlyWriteback) {
        // Start putting this piece on disk now, while the caller composes the
        // next one; the sync at the end then has little left to wait for.
        ::sync_file_range(m_fd, static_cast<off_t>(from), static_cast<off_t>(m_written - from),
                          SYNC_FILE_RANGE_WRITE);
    }
#endif
    return !m_failed;
}

void AtomicFile::Impl::WriteAll(const char* data, std::size_t size) {
    if (!m_failed) {
        if (const int error = WriteAllTo(m_fd, data, size, &m_written); error != 0) {
            Fail(error);
        }
    }
}

bool AtomicFile::Impl::WriteCopy() {
    // Complete and on disk under a name of its own before the file is touched:
    // a ".copy" is always whole.
    std::string written;
    const int fd = OpenTemporary(written, m_mode, m_owner, m_group);
    if (fd < 0) {
        return true; // no room beside the file: written in place as it is
    }
    const std::size_t half = m_pending.size() / 2;
    int error = WriteAllTo(fd, m_pending.data(), half);
    if (error == 0) {
        Reached(AtomicFile::Moment::kCopyHalfWritten);
        error = WriteAllTo(fd, m_pending.data() + half, m_pending.size() - half);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    std::string copy = written.substr(0, written.size() - temporaryname::Suffix<char>().size()) +
                       temporaryname::CopySuffix<char>();
    if (error == 0 && ::rename(written.c_str(), copy.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(written.c_str());
        Fail(error);
        return false;
    }
    m_copy = std::move(copy);
    SyncDirectory(DirectoryOf(m_target));
    Reached(AtomicFile::Moment::kCopyReady);
    return true;
}

bool AtomicFile::Impl::WritePendingInPlace() {
    // A write that could not finish must not start: the process's file-size
    // limit is known now, and the disk space is reserved before the first
    // byte is overwritten.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(m_pending.size()) > limit.rlim_cur) {
        Fail(EFBIG);
        return false;
    }
    if (m_withCopy && !WriteCopy()) {
        return false;
    }
    // An error past the reservation (an I/O error) can leave the file part
    // new, part old. The copy goes all the same: its raises are still this
    // process's to save, and put back they would count twice.
    if (const int error = Rewrite(m_fd, m_pending); error != 0) {
        Fail(error);
        return false;
    }
    Reached(AtomicFile::Moment::kSynced);
    m_pending.clear();
    m_pending.shrink_to_fit();
    return true;
}

bool AtomicFile::Impl::Commit() {
    if (m_committed) {
        return true;
    }
    if (m_failed || m_fd < 0) {
        Discard();
        return false;
    }
    const auto step = [&](bool ok) {
        if (!ok) {
            Fail(errno);
        }
        return ok;
    };
    bool ok = true;
    if (m_temporary.empty()) {
        ok = WritePendingInPlace(); // synced already
    } else {
        ok = step(::fchmod(m_fd, m_mode) == 0) && step(::fsync(m_fd) == 0);
    }
    // The file as it will stand: a rename keeps what makes up the stamp.
    m_stamp = ok ? FileSystem::StampOfHandle(m_fd) : FileStamp{};
    ok = step(::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok && !m_temporary.empty()) {
        ok = step(::rename(m_temporary.c_str(), m_target.c_str()) == 0);
        if (ok) {
            m_temporary.clear();
            SyncDirectory(DirectoryOf(m_target));
        }
    }
    if (!ok) {
        m_failed = true;
        Discard();
        return false;
    }
    if (!m_copy.empty()) {
        ::unlink(m_copy.c_str()); // the file holds it now
        m_copy.clear();
    }
    m_committed = true;
    m_created = false;
    RemoveLeftovers();
    return true;
}

void AtomicFile::Impl::RemoveLeftovers() const {
    // What saves of this file left when they were killed. A process that
    // still runs may be writing its file right now: that one stays.
    const std::string directory = DirectoryOf(m_target);
    const std::string fileName = NameOf(m_target);
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::optional<unsigned long long> pid =
            temporaryname::SaverOf<char>(entry->d_name, fileName);
        if (!pid || *pid > INT_MAX || IsRunning(static_cast<long>(*pid))) {
            continue;
        }
        // Only a plain file that this user made.
        const std::string path = directory + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(listing);
}

void AtomicFile::RepairInterrupted(const std::string& path) {
    const std::string target = TargetOf(path);
    const std::string directory = DirectoryOf(target);
    const std::string fileName = NameOf(target);
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return;
    }
    // The copies of saves that ended before they finished; the newest holds
    // the last content any of them meant to write.
    std::vector<std::string> copies;
    std::string newest;
    std::int64_t newestTime = 0;
    struct stat file {};
    if (::stat(target.c_str(), &file) != 0) {
        ::closedir(listing);
        return; // a file that is gone stays gone
    }
    while (const dirent* entry = ::readdir(listing)) {
        // A copy of this file under any of its names in this folder.
        const std::optional<std::string> copied = temporaryname::CopiedNameOf<char>(entry->d_name);
        struct stat other {};
        if (!copied ||
            (*copied != fileName && (::stat((directory + "/" + *copied).c_str(), &other) != 0 ||
                                     other.st_dev != file.st_dev || other.st_ino != file.st_ino))) {
            continue;
        }
        const std::optional<unsigned long long> pid =
            temporaryname::SaverOf<char>(entry->d_name, *copied, temporaryname::CopySuffix<char>());
        if (!pid || *pid > INT_MAX || IsRunning(static_cast<long>(*pid))) {
            continue;
        }
        const std::string copy = directory + "/" + entry->d_name;
        struct stat info {};
        if (!IsOwnFile(copy) || ::stat(copy.c_str(), &info) != 0) {
            continue;
        }
        const std::int64_t time =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        if (newest.empty() || time > newestTime || (time == newestTime && copy > newest)) {
            newest = copy;
            newestTime = time;
        }
        copies.push_back(copy);
    }
    ::closedir(listing);
    if (copies.empty()) {
        return;
    }
    std::string content, current;
    if (!ReadWhole(newest, content)) {
        return;
    }
    if (!ReadWhole(target, current) || current != content) {
        // Not created anew: a file that is gone stays gone.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            return;
        }
        const int error = Rewrite(fd, content);
        if (::close(fd) != 0 || error != 0) {
            return; // the copies stay for the next try
        }
    }
    for (const std::string& copy : copies) {
        ::unlink(copy.c_str());
    }
}

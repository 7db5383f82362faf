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

private:
    bool OpenTemporary(const std::string& directory, const std::string& name, unsigned mode,
                       unsigned owner, unsigned group);
    bool OpenInPlace();
    void WriteAll(const char* data, std::size_t size);
    bool WritePendingInPlace();
    void Discard();
    void RemoveLeftovers() const;

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false;
    bool m_created = false;
    unsigned m_mode = 0;
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

AtomicFile::Impl::Impl(const std::string& path) : m_target(path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Save through a symbolic link into its target; the link itself stays.
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            m_target = resolved;
            std::free(resolved);
        }
    }

    struct stat info {};
    if (::stat(m_target.c_str(), &info) != 0) {
        // A new file: there is nothing to lose by creating it directly.
        m_created = errno == ENOENT && OpenInPlace();
        m_failed = !m_created;
        return;
    }
    if (!FileSystem::IsWritable(m_target)) {
        m_failed = true;
        return;
    }
    m_mode = info.st_mode & 07777;
    if (info.st_nlink > 1 ||
        !OpenTemporary(DirectoryOf(m_target), NameOf(m_target), m_mode, info.st_uid, info.st_gid)) {
        m_failed = !OpenInPlace();
    }
}

AtomicFile::Impl::~Impl() {
    if (!m_committed) {
        Discard();
    }
}

bool AtomicFile::Impl::OpenTemporary(const std::string& directory, const std::string& name,
                                     unsigned mode, unsigned owner, unsigned group) {
    // mkstemps fills the Xs with letters and digits.
    std::string pattern =
        directory + "/" +
        temporaryname::Make<char>(name, static_cast<unsigned long long>(::getpid()),
                                  std::string(temporaryname::kRandomLength, 'X'));
    const int fd =
        ::mkstemps(pattern.data(), static_cast<int>(temporaryname::Suffix<char>().size()));
    if (fd < 0) {
        return false;
    }
    m_fd = fd;
    m_temporary = pattern;
    // Never more readable than the file it replaces, even while being written.
    struct stat created {};
    bool kept = ::fchmod(fd, (mode & S_IRUSR) | S_IWUSR) == 0 && ::fstat(fd, &created) == 0;
    if (kept && (created.st_uid != owner || created.st_gid != group)) {
        kept = ::fchown(fd, owner, group) == 0;
    }
    if (!kept) {
        Discard();
        return false;
    }
    return true;
}

bool AtomicFile::Impl::OpenInPlace() {
    // Not truncated now: the old content stays until the new one is written.
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

void AtomicFile::Impl::Discard() {
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
    while (!m_failed && size > 0) {
        const ssize_t done = ::write(m_fd, data, size);
        if (done <= 0) {
            if (done < 0 && errno == EINTR) {
                continue;
            }
            m_failed = true;
            break;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        m_written += static_cast<std::uint64_t>(done);
    }
}

bool AtomicFile::Impl::WritePendingInPlace() {
    const auto size = static_cast<off_t>(m_pending.size());
    // A write that could not finish must not start: the process's file-size
    // limit is known now, and the disk space is reserved (some file systems
    // cannot reserve; they are written as they are).
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(size) > limit.rlim_cur) {
        return false;
    }
    const int reserved = size > 0 ? ::posix_fallocate(m_fd, 0, size) : 0;
    if (reserved != 0 && reserved != EINVAL && reserved != EOPNOTSUPP) {
        return false;
    }
    WriteAll(m_pending.data(), m_pending.size());
    m_pending.clear();
    m_pending.shrink_to_fit();
    return !m_failed && ::ftruncate(m_fd, size) == 0;
}

bool AtomicFile::Impl::Commit() {
    if (m_committed) {
        return true;
    }
    if (m_failed || m_fd < 0) {
        Discard();
        return false;
    }
    bool ok = true;
    if (m_temporary.empty()) {
        ok = WritePendingInPlace();
    } else {
        ok = ::fchmod(m_fd, m_mode) == 0;
    }
    ok = ok && ::fsync(m_fd) == 0;
    // The file as it will stand: a rename keeps what makes up the stamp.
    m_stamp = ok ? FileSystem::StampOfHandle(m_fd) : FileStamp{};
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok && !m_temporary.empty()) {
        ok = ::rename(m_temporary.c_str(), m_target.c_str()) == 0;
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

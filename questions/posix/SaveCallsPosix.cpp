#include "questions/SaveCalls.h"

#include "questions/TemporaryName.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(SaveCalls::Handle file) {
    return static_cast<int>(file);
}

// The errno of a save that cannot even start, 0 when it can.
int WhyNotWritable(const std::string& path, const struct stat& info) {
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

} // namespace

const bool SaveCalls::kNewFileBeside = false;
const SaveCalls::Error SaveCalls::kGeneralFailure = EIO;

SaveCalls::Error SaveCalls::LastError() {
    return errno;
}

SaveCalls::Target SaveCalls::Examine(const std::string& path) {
    Target target;
    target.path = TargetOf(path);
    struct stat info {};
    if (::stat(target.path.c_str(), &info) != 0) {
        target.error = errno == ENOENT ? 0 : errno;
        return target;
    }
    target.exists = true;
    target.error = WhyNotWritable(target.path, info);
    target.links = static_cast<std::uint32_t>(info.st_nlink);
    target.kept = {info.st_mode & 07777, info.st_uid, info.st_gid};
    return target;
}

SaveCalls::Path SaveCalls::Resolve(const std::string& path) {
    std::string target = TargetOf(path);
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 ? target : std::string();
}

SaveCalls::Path SaveCalls::FolderOf(const Path& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

SaveCalls::Path SaveCalls::NameOf(const Path& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

SaveCalls::Path SaveCalls::Join(const Path& folder, const Path& name) {
    return folder + "/" + name;
}

bool SaveCalls::SameFile(const Path& one, const Path& other) {
    struct stat first {
    }, second{};
    return ::stat(one.c_str(), &first) == 0 && ::stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

SaveCalls::Handle SaveCalls::CreateTemporary(const Path& target, const Kept& kept, Path& made) {
    // mkstemps fills the Xs with letters and digits.
    std::string pattern =
        Join(FolderOf(target),
             temporaryname::Make<char>(NameOf(target), ProcessId(),
                                       std::string(temporaryname::kRandomLength, 'X')));
    const int fd =
        ::mkstemps(pattern.data(), static_cast<int>(temporaryname::Suffix<char>().size()));
    if (fd < 0) {
        return kNoHandle;
    }
    struct stat created {};
    bool ok = ::fchmod(fd, (kept.mode & S_IRUSR) | S_IWUSR) == 0 && ::fstat(fd, &created) == 0;
    if (ok && (created.st_uid != kept.owner || created.st_gid != kept.group)) {
        ok = ::fchown(fd, kept.owner, kept.group) == 0;
    }
    if (!ok) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        errno = error;
        return kNoHandle;
    }
    made = std::move(pattern);
    return fd;
}

SaveCalls::Handle SaveCalls::OpenInPlace(const Path& target, bool existing) {
    const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | (existing ? O_NONBLOCK : O_CREAT);
    return ::open(target.c_str(), flags, 0666);
}

bool SaveCalls::Write(Handle file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(Fd(file), data, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

void SaveCalls::StartWriteback(Handle file, std::uint64_t from, std::uint64_t size) {
#if defined(__linux__)
    ::sync_file_range(Fd(file), static_cast<off_t>(from), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#else
    (void)file, (void)from, (void)size;
#endif
}

SaveCalls::Error SaveCalls::WhyTooLarge(std::uint64_t size) {
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
                   static_cast<rlim_t>(size) > limit.rlim_cur
               ? EFBIG
               : 0;
}

bool SaveCalls::Reserve(Handle file, const Path&, std::uint64_t size) {
    // A kill right after it leaves the old content as it was, not followed
    // by zero bytes. Some file systems cannot reserve.
    if (size == 0) {
        return true;
    }
#if defined(__linux__)
    if (::fallocate(Fd(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) {
        return true;
    }
#else
    (void)file;
    errno = EOPNOTSUPP;
#endif
    return errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL;
}

bool SaveCalls::Rewind(Handle file) {
    return ::lseek(Fd(file), 0, SEEK_SET) == 0;
}

bool SaveCalls::CutAt(Handle file, std::uint64_t size) {
    return ::ftruncate(Fd(file), static_cast<off_t>(size)) == 0;
}

bool SaveCalls::KeepMode(Handle file, const Kept& kept) {
    return ::fchmod(Fd(file), kept.mode) == 0;
}

bool SaveCalls::PinWriteTime(Handle) {
    return true; // the last write's time is the file's
}

bool SaveCalls::Sync(Handle file) {
    return ::fsync(Fd(file)) == 0;
}

bool SaveCalls::Close(Handle file) {
    return ::close(Fd(file)) == 0;
}

bool SaveCalls::ReadWhole(const Path& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    content.clear();
    char buffer[1 << 16];
    ssize_t done = 0;
    while ((done = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (done < 0 && errno != EINTR) {
            break;
        }
        if (done > 0) {
            content.append(buffer, static_cast<std::size_t>(done));
        }
    }
    ::close(fd);
    return done == 0;
}

bool SaveCalls::Rename(const Path& from, const Path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

SaveCalls::Replaced SaveCalls::Replace(const Path& temporary, const Path& target, bool,
                                       const Kept&) {
    return Rename(temporary, target) ? Replaced::kYes : Replaced::kNo;
}

void SaveCalls::SyncFolder(const Path& target) {
    const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void SaveCalls::Remove(const Path& path, bool) {
    ::unlink(path.c_str());
}

std::vector<SaveCalls::Entry> SaveCalls::OwnFiles(const Path& folder, const Path& prefix,
                                                  const std::function<bool(const Path&)>& wanted) {
    std::vector<Entry> found;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat info {};
        if (name.starts_with(prefix) && wanted(name) &&
            ::lstat(Join(folder, name).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            found.push_back({name, 0,
                             static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                                 info.st_mtim.tv_nsec});
        }
    }
    ::closedir(listing);
    return found;
}

unsigned long long SaveCalls::ProcessId() {
    return static_cast<unsigned long long>(::getpid());
}

bool SaveCalls::MayStillSave(unsigned long long pid, std::int64_t) {
    // EPERM: it runs, under another user.
    return pid == 0 || pid > INT_MAX || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

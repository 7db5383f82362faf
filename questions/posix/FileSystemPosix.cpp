#include "questions/FileSystem.h"

#include "res/Strings.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileStamp StampFrom(const struct stat& info) {
    FileStamp stamp;
    stamp.valid = true;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.file = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return stamp;
}

} // namespace

std::FILE* FileSystem::OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rbe"); // e: not inherited by child processes
}

FileStamp FileSystem::StampOf(std::FILE* file) {
    return file ? StampOfHandle(::fileno(file)) : FileStamp{};
}

FileStamp FileSystem::StampOfHandle(std::intptr_t handle) {
    struct stat info {};
    if (::fstat(static_cast<int>(handle), &info) != 0) {
        return {};
    }
    return StampFrom(info);
}

FileStamp FileSystem::StampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    return StampFrom(info);
}

bool FileSystem::IsWritable(const std::string& path) {
    struct stat info {};
    // Without any write bit the file is read-only by intent, even for root.
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

std::string FileSystem::ReasonOf(long error) {
    const int code = static_cast<int>(error);
    if (code == ENOSPC || code == EDQUOT) {
        return strings::kReasonNoSpace;
    }
    if (code == EACCES || code == EPERM || code == EROFS) {
        return strings::kReasonNotAllowed;
    }
    if (code == EWOULDBLOCK || code == EAGAIN || code == EBUSY || code == ETXTBSY) {
        return strings::kReasonHeld;
    }
    if (code == ENOENT || code == ENOTDIR || code == ESTALE) {
        return strings::kReasonGone;
    }
    return std::strerror(code); // in the language of the learner's locale
}

#include "questions/FileSystem.h"

#include "questions/win32/LongPath.h"
#include "utility/win32/Utf16.h"
#include "res/Strings.h"

#include <io.h>
#include <windows.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t Join(DWORD high, DWORD low) {
    return static_cast<std::uint64_t>(high) << 32 | low;
}

} // namespace

std::FILE* FileSystem::OpenForReading(const std::string& path) {
    const std::wstring wide = LongPath::Of(path);
    // N: not inherited by child processes.
    return wide.empty() ? nullptr : ::_wfopen(wide.c_str(), L"rbN");
}

FileStamp FileSystem::StampOf(std::FILE* file) {
    if (file == nullptr) {
        return {};
    }
    return StampOfHandle(::_get_osfhandle(::_fileno(file)));
}

FileStamp FileSystem::StampOfHandle(std::intptr_t handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &info)) {
        return {};
    }
    FileStamp stamp;
    stamp.valid = true;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.file = Join(info.nFileIndexHigh, info.nFileIndexLow);
    stamp.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    stamp.modified = static_cast<std::int64_t>(
        Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    return stamp;
}

FileStamp FileSystem::StampOf(const std::string& path) {
    const std::wstring wide = LongPath::Of(path);
    if (wide.empty()) {
        return {};
    }
    // Attributes only, shared every way: no other program's open file stops it.
    const HANDLE file = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    const FileStamp stamp = StampOfHandle(reinterpret_cast<std::intptr_t>(file));
    ::CloseHandle(file);
    return stamp;
}

bool FileSystem::IsWritable(const std::string& path) {
    const std::wstring wide = LongPath::Of(path);
    const DWORD attributes =
        wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;
    }
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Held open by another program for now: that says nothing of its permissions.
        const DWORD error = ::GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    }
    const bool regular = ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    return regular;
}

std::string FileSystem::ReasonOf(long error) {
    const auto code = static_cast<DWORD>(error);
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return strings::kReasonNoSpace;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return strings::kReasonNotAllowed;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return strings::kReasonHeld;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
        return strings::kReasonGone;
    default:
        break;
    }
    // The system's own words, in the language of the learner's Windows.
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = L"Error " + std::to_wstring(code);
    }
    return Utf16::ToUtf8(message);
}

#include "questions/win32/LongPath.h"

#include "utility/win32/Utf16.h"

#include <string_view>
#include <windows.h>

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

} // namespace

std::wstring LongPath::Of(const std::string& utf8) {
    std::wstring path;
    if (utf8.empty() || !Utf16::FromUtf8(utf8, path) || path.find(L'\0') != std::wstring::npos) {
        return {};
    }
    if (path.starts_with(kLongPrefix)) {
        return path; // taken as it stands, as Windows takes it
    }
    // Absolute first: the "\\?\" form skips the normalisation (separators,
    // "..", trailing dots) that the call below does for every other path.
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    while (size > 0) {
        full.resize(size);
        const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (length < size) {
            full.resize(length);
            break;
        }
        size = length; // the path changed size in between (the current folder moved)
    }
    if (size == 0 || full.empty()) {
        return {};
    }
    if (full.starts_with(kDevicePrefix)) {
        return full;
    }
    if (full.starts_with(L"\\\\")) { // \\server\share\...
        return std::wstring(kLongUncPrefix) + full.substr(2);
    }
    return std::wstring(kLongPrefix) + full;
}

std::wstring LongPath::FolderOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LongPath::NameOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring LongPath::FinalOf(void* handle) {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring path;
    DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, kFlags);
    while (size > 0) {
        path.resize(size);
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), size, kFlags);
        if (length < size) {
            path.resize(length);
            return path;
        }
        size = length;
    }
    return {};
}

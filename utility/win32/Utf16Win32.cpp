#include "utility/win32/Utf16.h"

#include <climits>
#include <windows.h>

namespace {

// `flags` is MB_ERR_INVALID_CHARS (fail on a malformed sequence) or 0 (U+FFFD
// for it).
bool Convert(std::string_view utf8, DWORD flags, std::wstring& out) {
    out.clear();
    if (utf8.empty()) {
        return true;
    }
    if (utf8.size() > INT_MAX) {
        return false;
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    out.resize(static_cast<std::size_t>(length));
    if (::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, out.data(), length) != length) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace

bool Utf16::FromUtf8(std::string_view utf8, std::wstring& out) {
    return Convert(utf8, MB_ERR_INVALID_CHARS, out);
}

std::wstring Utf16::FromUtf8Replacing(std::string_view utf8) {
    std::wstring out;
    Convert(utf8, 0, out);
    return out;
}

std::string Utf16::ToUtf8(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

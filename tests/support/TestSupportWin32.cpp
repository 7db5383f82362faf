#include "tests/TestSupport.h"

#include <algorithm>
#include <array>
#include <random>
#include <stdexcept>
#include <string_view>
#include <windows.h>

namespace testsupport {

namespace {

std::wstring Utf16Of(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length == 0) {
        throw std::runtime_error("not UTF-8: " + utf8);
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Appends the code page 932 form of a run; false if a character has none.
bool AppendCp932(std::string& out, const wchar_t* run, int length) {
    if (length == 0) {
        return true;
    }
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, run, length, nullptr, 0,
                                         nullptr, &usedDefault);
    if (size == 0 || usedDefault) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(size));
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, run, length, out.data() + start, size, nullptr,
                        nullptr);
    return true;
}

} // namespace

// Windows' bytes where glibc agrees; glibc's, from the edge table, where it
// alone has a form; none where Windows alone has one (a byte that starts no
// character in glibc's table).
std::string Cp932(const std::string& utf8) {
    const Cp932Edges& edges = Cp932EdgeTable();
    const std::wstring wide = Utf16Of(utf8);
    std::string out;
    for (std::size_t i = 0, length = 1; i < wide.size(); i += length) {
        length = IS_HIGH_SURROGATE(wide[i]) ? 2 : 1;
        const std::wstring_view unit = std::wstring_view(wide).substr(i, length);
        const std::string character = Utf8FromWide(unit);
        const auto alias = std::find_if(edges.aliases.begin(), edges.aliases.end(),
                                        [&](const auto& a) { return a.utf8 == character; });
        if (alias != edges.aliases.end()) {
            out += alias->bytes;
            continue;
        }
        std::string bytes;
        if (!AppendCp932(bytes, unit.data(), static_cast<int>(unit.size())) ||
            (bytes.size() == 1 && edges.startsNothing.find(bytes[0]) != std::string::npos)) {
            throw std::runtime_error("no CP932 form for " + utf8);
        }
        out += bytes;
    }
    return out;
}

std::filesystem::path MakeTempDir() {
    std::array<wchar_t, MAX_PATH + 1> temp{};
    const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    if (length == 0 || length > temp.size()) {
        throw std::runtime_error("no temporary folder");
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long n = (static_cast<unsigned long long>(random()) << 32) | random();
        const std::filesystem::path dir = std::filesystem::path(std::wstring(temp.data(), length)) /
                                          (L"kirabel-" + std::to_wstring(n));
        if (CreateDirectoryW(dir.c_str(), nullptr)) {
            return dir;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    throw std::runtime_error("cannot make a temporary directory");
}

} // namespace testsupport

#include "tests/TestSupport.h"

#include <array>
#include <random>
#include <stdexcept>
#include <windows.h>

namespace testsupport {

namespace {

// Where glibc's CP932 and Windows' code page 932 disagree, measured over the
// whole BMP: glibc also encodes these, Windows (with WC_NO_BEST_FIT_CHARS) does
// not. Tests expect glibc's bytes on every platform.
struct GlibcOnly {
    wchar_t ch;
    const char* bytes;
};
constexpr std::array<GlibcOnly, 9> kGlibcOnly{{
    {L'\u00A2', "\x81\x91"}, // ¢
    {L'\u00A3', "\x81\x92"}, // £
    {L'\u00A5', "\x5C"},     // ¥
    {L'\u00AC', "\x81\xCA"}, // ¬
    {L'\u2014', "\x81\x5C"}, // —
    {L'\u2016', "\x81\x61"}, // ‖
    {L'\u203E', "\x7E"},     // ‾
    {L'\u2212', "\x81\x7C"}, // −
    {L'\u301C', "\x81\x60"}, // 〜
}};

// Windows encodes these (to 80, A0, FD, FE, FF); glibc refuses them.
bool WindowsOnly(wchar_t ch) {
    return ch == L'\u0080' || (ch >= L'\uF8F0' && ch <= L'\uF8F3');
}

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

std::string Cp932(const std::string& utf8) {
    const std::wstring wide = Utf16Of(utf8);
    std::string out;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= wide.size(); ++i) {
        const GlibcOnly* extra = nullptr;
        if (i < wide.size()) {
            if (WindowsOnly(wide[i])) {
                throw std::runtime_error("no CP932 form for " + utf8);
            }
            for (const GlibcOnly& g : kGlibcOnly) {
                if (g.ch == wide[i]) {
                    extra = &g;
                }
            }
            if (extra == nullptr) {
                continue;
            }
        }
        if (!AppendCp932(out, wide.data() + runStart, static_cast<int>(i - runStart))) {
            throw std::runtime_error("no CP932 form for " + utf8);
        }
        if (extra != nullptr) {
            out += extra->bytes;
        }
        runStart = i + 1;
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

#include "questions/Cp932.h"

#include "utility/win32/Utf16.h"

#include <array>
#include <bitset>
#include <climits>
#include <windows.h>

// Windows' code page 932 and glibc's CP932 (the Linux implementation) are
// both Microsoft's mapping, but differ at its edges. Files must read and
// answers must judge alike on both, so this side follows glibc there.
namespace {

constexpr UINT kCodePage = 932;
constexpr char kReplacement[] = "\xef\xbf\xbd"; // U+FFFD

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
}

bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xfc && b != 0x7f;
}

// Bytes that stand alone. Windows also maps 80, A0 and FD to FF; glibc does not.
bool IsSingle(unsigned char b) {
    return b < 0x80 || (b >= 0xa1 && b <= 0xdf);
}

// Characters glibc encodes and Windows refuses (Linux input methods send
// several of them for the code page's own characters), with glibc's bytes.
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
bool IsWindowsOnly(wchar_t ch) {
    return ch == L'\u0080' || (ch >= L'\uF8F0' && ch <= L'\uF8F3');
}

// Which lead and trail byte pairs the code page assigns, asked once.
class PairTable {
public:
    PairTable() {
        for (unsigned lead = 0x81; lead <= 0xfc; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xfc; ++trail) {
                if (!IsLead(static_cast<unsigned char>(lead)) ||
                    !IsTrail(static_cast<unsigned char>(trail))) {
                    continue;
                }
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                wchar_t wide[2];
                m_assigned[Index(lead, trail)] =
                    ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, pair, 2, wide, 2) == 1;
            }
        }
    }
    bool IsAssigned(unsigned char lead, unsigned char trail) const {
        return m_assigned[Index(lead, trail)];
    }

private:
    static std::size_t Index(unsigned lead, unsigned trail) { return (lead - 0x80) * 256 + trail; }
    std::bitset<128 * 256> m_assigned;
};

const PairTable& Pairs() {
    static const PairTable table;
    return table;
}

// Appends the UTF-8 of bytes that are all valid code page 932.
void AppendDecoded(std::string& out, std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    std::wstring wide;
    int length = 0;
    if (bytes.size() <= INT_MAX) {
        const int size = static_cast<int>(bytes.size());
        length =
            ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
        wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
        if (length > 0) {
            length = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                                           wide.data(), length);
        }
    }
    if (length <= 0) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            out += kReplacement; // never expected: the bytes were checked
        }
        return;
    }
    out += Utf16::ToUtf8(wide);
}

// Appends the code page 932 form of characters that Windows and glibc agree
// on; false when one has none.
bool AppendEncoded(std::string& out, std::wstring_view wide) {
    if (wide.empty()) {
        return true;
    }
    if (wide.size() > INT_MAX) {
        return false;
    }
    const int size = static_cast<int>(wide.size());
    // No best fit: é must not become e. A character without a form comes out
    // as the default character, which lpUsedDefaultChar reports.
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                             nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length));
    return ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                 out.data() + start, length, nullptr, &usedDefault) == length &&
           !usedDefault;
}

} // namespace

bool Cp932::IsAvailable() {
    static const bool available = ::IsValidCodePage(kCodePage) != 0;
    return available;
}

std::string Cp932::ToUtf8(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() + bytes.size() / 2);
    const bool available = IsAvailable();
    const PairTable* pairs = available ? &Pairs() : nullptr;
    std::size_t run = 0; // where the bytes not yet converted start
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80 || (available && IsSingle(b))) {
            ++i;
            continue;
        }
        if (available && IsLead(b) && i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[i + 1]);
            if (IsTrail(trail) && pairs->IsAssigned(b, trail)) {
                i += 2;
                continue;
            }
        }
        // As glibc: one U+FFFD for the byte, then on from the next one, which
        // may start a character of its own.
        AppendDecoded(utf8, bytes.substr(run, i - run));
        utf8 += kReplacement;
        run = ++i;
    }
    AppendDecoded(utf8, bytes.substr(run));
    return utf8;
}

bool Cp932::FromUtf8(std::string_view utf8, std::string& out) {
    out.clear();
    std::wstring wide;
    if (!Utf16::FromUtf8(utf8, wide)) {
        return false;
    }
    if (!IsAvailable()) {
        out.assign(utf8);
        for (const wchar_t ch : wide) {
            if (ch >= 0x80) {
                return false;
            }
        }
        return true;
    }
    std::size_t run = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (IsWindowsOnly(wide[i])) {
            return false;
        }
        const GlibcOnly* extra = nullptr;
        for (const GlibcOnly& candidate : kGlibcOnly) {
            if (candidate.ch == wide[i]) {
                extra = &candidate;
                break;
            }
        }
        if (extra == nullptr) {
            continue;
        }
        if (!AppendEncoded(out, std::wstring_view(wide).substr(run, i - run))) {
            return false;
        }
        out += extra->bytes;
        run = i + 1;
    }
    return AppendEncoded(out, std::wstring_view(wide).substr(run));
}

#include "session/NearMiss.h"

#include "res/Strings.h"

#include <cstddef>
#include <iterator>
#include <string>

namespace {

// A byte that is no part of a UTF-8 character stands for itself, apart from
// every character.
constexpr char32_t kStrayByte = 0x110000;

std::u32string Decode(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned lead = byte(i);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        bool whole = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4 && i + length <= text.size());
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong three- and four-byte forms, surrogates and beyond U+10FFFF.
        whole = whole && !(length == 3 && c < 0x800) && !(length == 4 && c < 0x10000) &&
                !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF;
        if (whole) {
            out += c;
            i += length;
        } else {
            out += kStrayByte + lead;
            ++i;
        }
    }
    return out;
}

// Half-width katakana U+FF61..FF9F and their full-width forms.
constexpr char16_t kHalfWidthKana[] =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン゛゜";
static_assert(std::size(kHalfWidthKana) - 1 == 0xFF9F - 0xFF61 + 1);

// A half-width voiced (゛) or semi-voiced (゜) mark joins the kana before it
// into one character, as the full-width form has it; elsewhere it stays a mark.
char32_t Voiced(char32_t kana, bool semi) {
    if (!semi && ((kana >= U'カ' && kana <= U'ト' && kana != U'ッ') || kana == U'ウ' ||
                  kana == U'ワ' || kana == U'ヲ')) {
        if (kana == U'ウ') {
            return U'ヴ';
        }
        if (kana == U'ワ' || kana == U'ヲ') {
            return kana + 8; // ヷ, ヺ
        }
        // カ to ト alternate with their voiced forms, ッ aside.
        const bool oddStep = kana >= U'ツ';
        if (((kana - U'カ') % 2 == 0) != oddStep) {
            return kana + 1;
        }
        return 0;
    }
    if (kana >= U'ハ' && kana <= U'ホ' && (kana - U'ハ') % 3 == 0) {
        return kana + (semi ? 2 : 1);
    }
    return 0;
}

char32_t SmallToLarge(char32_t c) {
    switch (c) {
    case U'ぁ':
    case U'ぃ':
    case U'ぅ':
    case U'ぇ':
    case U'ぉ':
    case U'っ':
    case U'ゃ':
    case U'ゅ':
    case U'ょ':
    case U'ゎ':
    case U'ァ':
    case U'ィ':
    case U'ゥ':
    case U'ェ':
    case U'ォ':
    case U'ッ':
    case U'ャ':
    case U'ュ':
    case U'ョ':
    case U'ヮ':
        return c + 1;
    case U'ゕ':
        return U'か';
    case U'ゖ':
        return U'け';
    case U'ヵ':
        return U'カ';
    case U'ヶ':
        return U'ケ';
    default:
        return c;
    }
}

bool IsSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\u3000';
}

bool IsLongVowelOrDash(char32_t c) {
    return c == U'ー' || c == U'ｰ' || c == U'-' || (c >= 0x2010 && c <= 0x2015) || c == U'−' ||
           c == U'－';
}

bool IsWaveDash(char32_t c) {
    return c == U'〜' || c == U'～' || c == U'~' || c == U'∼' || c == U'〰';
}

// The character at text[i] with its width folded; a half-width kana takes the
// voicing mark after it along, stepping `i` over it.
char32_t FoldWidth(const std::u32string& text, std::size_t& i, std::size_t end) {
    char32_t c = text[i];
    if (c >= 0xFF01 && c <= 0xFF5E) {
        return c - 0xFEE0;
    }
    if (c == 0x3000) {
        return U' ';
    }
    if (c >= 0xFF61 && c <= 0xFF9F) {
        c = kHalfWidthKana[c - 0xFF61];
        if (i + 1 < end && (text[i + 1] == U'ﾞ' || text[i + 1] == U'ﾟ')) {
            if (const char32_t joined = Voiced(c, text[i + 1] == U'ﾟ')) {
                ++i;
                return joined;
            }
        }
    }
    return c;
}

// One character with the kinds other than width and spaces folded out.
char32_t FoldKinds(char32_t c, unsigned kinds) {
    if ((kinds & NearMiss::kCase) && ((c >= U'A' && c <= U'Z') || (c >= U'Ａ' && c <= U'Ｚ'))) {
        c += 0x20;
    }
    if ((kinds & NearMiss::kKana) && c >= U'ァ' && c <= U'ヶ') {
        c -= 0x60;
    }
    if (kinds & NearMiss::kSmallKana) {
        c = SmallToLarge(c);
    }
    if ((kinds & NearMiss::kLongVowel) && IsLongVowelOrDash(c)) {
        c = U'ー';
    }
    if ((kinds & NearMiss::kWaveDash) && IsWaveDash(c)) {
        c = U'〜';
    }
    return c;
}

// The text with the kinds folded out, in an order that lets them combine:
// widths first, so that full-width letters and dashes fold on as their
// half-width forms do.
std::u32string Fold(const std::u32string& text, unsigned kinds) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    if (kinds & NearMiss::kLeadingSpace) {
        while (begin < end && IsSpace(text[begin])) {
            ++begin;
        }
    }
    if (kinds & NearMiss::kTrailingSpace) {
        while (end > begin && IsSpace(text[end - 1])) {
            --end;
        }
    }
    std::u32string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char32_t c = (kinds & NearMiss::kWidth) ? FoldWidth(text, i, end) : text[i];
        out += FoldKinds(c, kinds);
    }
    return out;
}

// Tried away in this order: a kind goes when the rest still make the texts
// equal, so the broad ones go first and the narrower ones that explain the
// same difference stay (〜 and ～ differ as wave dashes, not in width).
constexpr NearMiss::Kind kDropOrder[] = {
    NearMiss::kLeadingSpace, NearMiss::kTrailingSpace, NearMiss::kWidth,     NearMiss::kCase,
    NearMiss::kKana,         NearMiss::kSmallKana,     NearMiss::kLongVowel, NearMiss::kWaveDash,
};

struct Words {
    NearMiss::Kind kind;
    const char* text;
};

// The order the learner hears them in.
constexpr Words kWords[] = {
    {NearMiss::kLeadingSpace, strings::kHintLeadingSpace},
    {NearMiss::kTrailingSpace, strings::kHintTrailingSpace},
    {NearMiss::kWidth, strings::kHintWidth},
    {NearMiss::kCase, strings::kHintCase},
    {NearMiss::kKana, strings::kHintKana},
    {NearMiss::kSmallKana, strings::kHintSmallKana},
    {NearMiss::kLongVowel, strings::kHintLongVowel},
    {NearMiss::kWaveDash, strings::kHintWaveDash},
};

} // namespace

unsigned NearMiss::Find(const std::string& answer, const std::string& reply) {
    if (answer == reply) {
        return kNone;
    }
    const std::u32string a = Decode(answer);
    const std::u32string r = Decode(reply);
    unsigned kinds = kNone;
    for (const Kind kind : kDropOrder) {
        kinds |= kind;
    }
    if (Fold(a, kinds) != Fold(r, kinds)) {
        return kNone;
    }
    for (const Kind kind : kDropOrder) {
        const unsigned rest = kinds & ~static_cast<unsigned>(kind);
        if (Fold(a, rest) == Fold(r, rest)) {
            kinds = rest;
        }
    }
    return kinds;
}

std::string NearMiss::Hint(unsigned kinds) {
    std::string hint;
    for (const auto& [kind, text] : kWords) {
        if (kinds & kind) {
            hint += text;
        }
    }
    return hint;
}

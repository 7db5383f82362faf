#include "controls/Cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum Way { kBoth, kEncodeOnly, kDecodeOnly };

const struct {
    const char* what;
    std::string bytes;
    const char16_t* text;
    Way way;
} kCases[] = {
    {"ascii", "dog 0", u"dog 0", kBoth},
    {"kanji", "\x8a\xbf\x8e\x9a", u"漢字", kBoth},
    {"trail byte 5C", "\x97\x5c\x91\xaa\x83\x5c\x95\x5c", u"予測ソ表", kBoth},
    {"5C alone is a backslash", "a\\b", u"a\\b", kBoth},
    {"half-width katakana", "\xb1\xcc\xdf\xd8", u"ｱﾌﾟﾘ", kBoth},
    {"NEC extension", "\x87\x40", u"①", kBoth},
    {"full-width space and tilde", "\x81\x40\x81\x60", u"　～", kBoth},
    // An input method's wave dash is the code page's 81 60.
    {"wave dash", "\x81\x60", u"\u301c", kEncodeOnly},
    // What the code page lacks becomes a line feed, which no answer holds.
    {"emoji", "\x93\x8c\n\x8b\x9e", u"東😀京", kEncodeOnly},
    {"unpaired surrogate", "a\n", u"a\xd800", kEncodeOnly},
    // Each byte the code page does not have decodes as U+FFFD; the rest goes on.
    {"lone lead byte at the end", "ab\x81", u"ab\ufffd", kDecodeOnly},
    {"lead byte before a space", "\x81 x", u"\ufffd x", kDecodeOnly},
    {"unassigned row", "\x85\x40", u"\ufffd@", kDecodeOnly},
    {"unused bytes", "\x80\xa0\xfd\xff\x93\x8c", u"\ufffd\ufffd\ufffd\ufffd東", kDecodeOnly},
};

TEST(Cp932, ConvertsAsTheTableSays) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.way != kEncodeOnly) {
            EXPECT_EQ(Cp932::ToQString(c.bytes), QString::fromUtf16(c.text));
        }
        if (c.way != kDecodeOnly) {
            EXPECT_EQ(Cp932::FromQString(QString::fromUtf16(c.text)), c.bytes);
        }
    }
}

} // namespace

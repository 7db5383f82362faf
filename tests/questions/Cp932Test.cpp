// The code page 932 table as Microsoft's mapping has it, in literal bytes, so
// that every platform's converter is held to the same rows.
#include "questions/Cp932.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum Way { kBoth, kEncodeOnly, kDecodeOnly };

const struct {
    const char* what;
    std::string bytes;
    std::string text; // UTF-8
    Way way;
} kCases[] = {
    {"ascii", "dog 0", "dog 0", kBoth},
    {"kanji", "\x8a\xbf\x8e\x9a", "漢字", kBoth},
    {"trail byte 5C", "\x97\x5c\x91\xaa\x83\x5c\x95\x5c", "予測ソ表", kBoth},
    {"5C alone is a backslash", "a\\b", "a\\b", kBoth},
    {"half-width katakana", "\xb1\xcc\xdf\xd8", "ｱﾌﾟﾘ", kBoth},
    {"NEC extension", "\x87\x40\x87\x54", "①Ⅰ", kBoth},
    {"IBM extension", "\xfa\x40\xfa\x5c", "ⅰ纊", kBoth},
    {"user-defined area", "\xf0\x40", "\xee\x80\x80", kBoth},
    {"full-width space, tilde, minus", "\x81\x40\x81\x60\x81\x7c", "　～－", kBoth},
    // Duplicates: the NEC-selected IBM codes decode to the same characters.
    {"NEC-selected duplicates", "\xed\x40\x87\x9a\xfa\x4a", "纊∵Ⅰ", kDecodeOnly},
    // What Linux input methods send for the code page's own characters.
    {"wave dash", "\x81\x60", "\u301c", kEncodeOnly},
    {"dashes and bars", "\x81\x5c\x81\x7c\x81\x61", "—−‖", kEncodeOnly},
    {"cent, pound, not", "\x81\x91\x81\x92\x81\xca", "¢£¬", kEncodeOnly},
    {"yen sign and overline", "\\~", "¥‾", kEncodeOnly},
    // Each byte the code page does not have decodes as U+FFFD; the rest goes on.
    {"lone lead byte at the end", "ab\x81", "ab\ufffd", kDecodeOnly},
    {"lead byte before a space", "\x81 x", "\ufffd x", kDecodeOnly},
    {"unassigned row", "\x85\x40", "\ufffd@", kDecodeOnly},
    {"unused bytes", "\x80\xa0\xfd\xff\x93\x8c", "\ufffd\ufffd\ufffd\ufffd東", kDecodeOnly},
};

TEST(Cp932, ConvertsAsTheTableSays) {
    ASSERT_TRUE(Cp932::IsAvailable());
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.way != kEncodeOnly) {
            EXPECT_EQ(Cp932::ToUtf8(c.bytes), c.text);
        }
        if (c.way != kDecodeOnly) {
            std::string bytes;
            EXPECT_TRUE(Cp932::FromUtf8(c.text, bytes));
            EXPECT_EQ(bytes, c.bytes);
        }
    }
}

// Where converters part, every platform's takes glibc's side: the rows come
// from the checked-in table, never from the code under test.
TEST(Cp932, TakesGlibcsSideAtTheEdges) {
    ASSERT_TRUE(Cp932::IsAvailable());
    const testsupport::Cp932Edges& edges = testsupport::Cp932EdgeTable();
    for (const auto& alias : edges.aliases) {
        std::string bytes;
        EXPECT_TRUE(Cp932::FromUtf8(alias.utf8, bytes)) << alias.utf8;
        EXPECT_EQ(bytes, alias.bytes) << alias.utf8;
    }
    for (const char b : edges.startsNothing) {
        EXPECT_EQ(Cp932::ToUtf8(std::string(1, b) + "a"), "\ufffda") << (b & 0xFF);
    }
}

TEST(Cp932, NoFormIsNoBestFit) {
    // U+0080 and U+F8F0 to U+F8F3: Windows alone has bytes for them (80, A0, FD to FF).
    for (const char* text :
         {"é", "𠮷", "한", "🍎", "東🍎京", "\xff", "\xe6\x9d", "\u0080", "\uf8f0", "\uf8f3"}) {
        std::string bytes;
        EXPECT_FALSE(Cp932::FromUtf8(text, bytes)) << text;
    }
}

} // namespace

// The program's one UTF-8 <-> UTF-16 conversion, in both its forms: a path
// must fail on malformed UTF-8, a window text must keep what is readable.
#include "utility/win32/Utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// Well formed: both forms give the same UTF-16, and it converts back to the
// same bytes.
TEST(Utf16, WellFormedTextConvertsAlikeBothWays) {
    const struct {
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"", L""},
        {"dog", L"dog"},
        {"日本の首都", L"日本の首都"},
        {"全角　空白", L"全角\u3000空白"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"}, // beyond the BMP: a surrogate pair
        {"a\0b"s, L"a\0b"s},                   // a NUL is a character like any other
    };
    for (const auto& c : cases) {
        std::wstring strict = L"old";
        EXPECT_TRUE(Utf16::FromUtf8(c.utf8, strict)) << c.utf8;
        EXPECT_EQ(strict, c.utf16) << c.utf8;
        EXPECT_EQ(Utf16::FromUtf8Replacing(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16::ToUtf8(c.utf16), c.utf8) << c.utf8;
    }
}

// Malformed: the strict form fails; the lenient one puts U+FFFD where the
// bytes are broken and keeps the characters on either side.
TEST(Utf16, MalformedTextFailsStrictlyAndIsReplacedLeniently) {
    const std::string cases[] = {
        "\xFF",             // never in UTF-8
        "\x80",             // a continuation byte alone
        "\xE6\x97",         // a character cut short
        "\xC0\xAF",         // an overlong '/'
        "\xED\xA0\x80",     // a surrogate, encoded
        "\xF4\x90\x80\x80", // beyond U+10FFFF
    };
    for (const std::string& broken : cases) {
        const std::string text = "a" + broken + "日";
        std::wstring strict;
        EXPECT_FALSE(Utf16::FromUtf8(text, strict)) << testing::PrintToString(text);
        const std::wstring lenient = Utf16::FromUtf8Replacing(text);
        ASSERT_GE(lenient.size(), 3u) << testing::PrintToString(text);
        EXPECT_EQ(lenient.front(), L'a');
        EXPECT_EQ(lenient.back(), L'日');
        EXPECT_EQ(lenient.substr(1, lenient.size() - 2),
                  std::wstring(lenient.size() - 2, L'\xFFFD'))
            << testing::PrintToString(text);
    }
    // One byte that is no UTF-8 is one replacement character.
    EXPECT_EQ(Utf16::FromUtf8Replacing("a\xFF"
                                       "b"),
              L"a\xFFFD"
              L"b");
}

TEST(Utf16, UnpairedSurrogateComesBackAsReplacementCharacter) {
    EXPECT_EQ(Utf16::ToUtf8(L"a\xD800"
                            L"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16::ToUtf8(L"a\xDE00"), "a\xEF\xBF\xBD");
}

} // namespace

#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

TEST(Platform, SystemCodePageIsJapanese) {
    // 932 needs LANG=ja_JP.UTF-8 in the Wine wrapper; otherwise 1252.
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Platform, CodePage932DecodesToUnicode) {
    const std::string bytes = "\x83\x67\x81\x5B\x83\x4E\x83\x93";
    wchar_t wide[16] = {};
    const int length =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                            wide, static_cast<int>(std::size(wide)));
    EXPECT_EQ(std::wstring(wide, static_cast<std::size_t>(length)), L"トークン");
}

// The helper must give glibc's bytes, also where Windows alone would refuse.
TEST(Platform, Cp932GivesGlibcBytes) {
    const struct {
        const char* utf8;
        std::string bytes;
    } cases[] = {
        {"トークン", "\x83\x67\x81\x5B\x83\x4E\x83\x93"},
        {"予測", "\x97\x5C\x91\xAA"},
        {"日〜本", "\x93\xFA\x81\x60\x96\x7B"},
        {"−¥", "\x81\x7C\x5C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testsupport::Cp932(c.utf8), c.bytes) << c.utf8;
    }
    for (const char* utf8 : {"😀", "한", "\u0080", "\uF8F0"}) {
        EXPECT_THROW(testsupport::Cp932(utf8), std::runtime_error) << utf8;
    }
}

// 한국어 has no code page 932 form: names must never pass through the ANSI code page.
TEST(Platform, FileNamesTravelAsUtf8) {
    const testsupport::TempDir dir;
    const struct {
        const char* utf8;
        const wchar_t* utf16;
    } names[] = {{"単語帳.krb", L"単語帳.krb"}, {"한국어.krb", L"한국어.krb"}};
    for (const auto& name : names) {
        const std::string path = dir.File(name.utf8);
        testsupport::WriteBytes(path, name.utf8);
        EXPECT_EQ(testsupport::ReadBytes(path), name.utf8);
        const std::wstring wide = (dir.Path() / name.utf16).wstring();
        EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES) << name.utf8;
    }
    EXPECT_EQ(testsupport::NamesIn(dir.Path()),
              (std::set<std::string>{"単語帳.krb", "한국어.krb"}));
}

} // namespace

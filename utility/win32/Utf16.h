#pragma once

#include <string>
#include <string_view>

// UTF-8 to and from the UTF-16 that the wide Windows API takes: the program's
// one conversion, for paths and window texts alike. Windows only.
class Utf16 {
public:
    // Strict, for what must come out exactly (a path): false when the input is
    // not UTF-8 (a broken sequence, a surrogate).
    static bool FromUtf8(std::string_view utf8, std::wstring& out);
    // Lenient, for what is only shown (a window text): each malformed
    // sequence comes out as U+FFFD.
    static std::wstring FromUtf8Replacing(std::string_view utf8);
    // An unpaired surrogate comes out as U+FFFD.
    static std::string ToUtf8(std::wstring_view utf16);
};

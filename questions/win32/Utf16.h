#pragma once

#include <string>
#include <string_view>

// UTF-8 to and from the UTF-16 that the wide Windows API takes. Windows only.
class Utf16 {
public:
    // False when the input is not UTF-8 (a broken sequence, a surrogate).
    static bool FromUtf8(std::string_view utf8, std::wstring& out);
    static std::string ToUtf8(std::wstring_view utf16);
};

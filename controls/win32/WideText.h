#pragma once

#include <string>
#include <string_view>

// The program's texts are UTF-8, the window system's UTF-16: the windows
// convert here, where a text enters or leaves a window. The conversion is
// questions/Utf16's, in its lenient form: a text is only shown, so a bad byte
// must not lose the rest of it.
class WideText {
public:
    // Bytes that are not UTF-8 come out as U+FFFD.
    static std::wstring FromUtf8(std::string_view utf8);
    // An unpaired surrogate comes out as U+FFFD.
    static std::string ToUtf8(std::wstring_view wide);
};

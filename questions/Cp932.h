#pragma once

#include <string>
#include <string_view>

// Code page 932 (Microsoft's Shift_JIS: 0x5C is a backslash, the NEC and IBM
// extensions are in) to and from UTF-8. The only place that knows the table;
// each platform has its own implementation of this interface.
class Cp932 {
public:
    // False when the system offers no converter; then only ASCII converts and
    // every other byte or character is treated as having no form.
    static bool IsAvailable();

    // Bytes that are not code page 932 (a lone lead byte, an unassigned code)
    // come out as U+FFFD, one for each byte skipped; decoding never fails.
    static std::string ToUtf8(std::string_view bytes);

    // False when a character has no code page 932 form (an emoji, 한), or the
    // input is not UTF-8. Never a best fit: é does not become e. The few
    // characters that Linux input methods send where Windows has its own
    // (U+301C 〜 for U+FF5E ～, and the like) are taken as Windows takes them.
    static bool FromUtf8(std::string_view utf8, std::string& out);
};

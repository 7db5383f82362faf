#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How a question-set file's bytes are text. Decided once per file, from the
// whole of it, when it is read; only the file layer ever sees the bytes as
// they are, everything above it gets UTF-8.
enum class TextEncoding : unsigned char {
    kCp932,        // the default, also for files of ASCII only
    kUtf8,         // valid UTF-8 with at least one character beyond ASCII
    kUtf8WithMark, // starts with EF BB BF, which is kept apart from the first line
};

// The file's bytes as UTF-8. Bytes that are not text in the encoding show as U+FFFD.
std::string ToUtf8(TextEncoding encoding, std::string_view bytes);
// UTF-8 as the file's bytes; false when a character has no form in the encoding.
bool FromUtf8(TextEncoding encoding, std::string_view utf8, std::string& out);

// The bytes with each sequence that is not UTF-8 replaced by U+FFFD.
std::string ValidUtf8(std::string_view bytes);

// Watches a file's bytes go by, piece after piece, and tells whether all of
// them are UTF-8 and whether any is beyond ASCII. Stops looking at the first
// byte that is not UTF-8, so a code page 932 file costs next to nothing.
class Utf8Check {
public:
    void Feed(const char* data, std::size_t size);
    // The input so far, taken as complete, is valid UTF-8 with some non-ASCII.
    bool IsUtf8Text() const { return m_state == kAccept && m_beyondAscii; }

    static constexpr std::uint32_t kAccept = 0;
    static constexpr std::uint32_t kReject = 6;

private:
    std::uint32_t m_state = kAccept;
    bool m_beyondAscii = false;
};

#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Splits one line of a question-set file at its spaces (0x20), the way strtok
// does with " " as the delimiter set: runs of spaces separate like one, and
// every other byte, tab, CR, NUL and the full-width space included, belongs to
// a token. Splitting byte by byte is safe for code page 932, whose trail bytes
// are never 0x20.
class TokenReader {
public:
    TokenReader();
    TokenReader(const TokenReader&) = delete;
    TokenReader& operator=(const TokenReader&) = delete;
    virtual ~TokenReader();

    void SetLine(std::string line);
    // The same for bytes that the caller keeps unchanged until the next
    // SetLine; they are split where they are, without a copy.
    void SetLine(const char* data, std::size_t size);

    // The next token; throws CpException("トークンが有りません。") when the line
    // has no further token, and keeps doing so until the next SetLine.
    std::string NextToken();
    // The same token as a view into the line, valid until the next SetLine.
    std::string_view NextTokenView() {
        // Inline: it runs three times for every line of a file.
        if (m_first) {
            m_scan = 0;
            m_first = false;
        }
        const char delimiter = Delimiter();
        const char* const data = m_line.data();
        const std::size_t size = m_line.size();
        std::size_t start = m_scan;
        while (start < size && data[start] == delimiter) {
            ++start;
        }
        const void* found =
            start < size ? std::memchr(data + start, delimiter, size - start) : nullptr;
        return TakeToken(
            start, found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : size);
    }

    // Everything after the tokens taken so far, from the next token to the end
    // of the line, without trailing spaces; empty when no token is left.
    std::string RestOfLine() const {
        // Inline for the usual case: the last token taken ended the line.
        return !m_first && m_scan == m_line.size() ? std::string() : RestOfLineAfterScan();
    }

private:
    std::size_t SkipDelimiters(std::size_t from) const;
    std::string RestOfLineAfterScan() const;
    // The delimiter set is the one space the constructor puts in it; a single
    // byte lets the search use memchr.
    char Delimiter() const { return m_delimiters[0]; }
    // The token from start to end, where end is a delimiter or the line's end.
    std::string_view TakeToken(std::size_t start, std::size_t end) {
        if (start == m_line.size()) {
            m_scan = start;
            ThrowNoToken();
        }
        m_scan = end == m_line.size() ? end : end + 1;
        return std::string_view(m_line.data() + start, end - start);
    }
    [[noreturn]] static void ThrowNoToken();

    std::string m_buffer;    // the line, when SetLine was given a string
    std::string_view m_line; // the bytes being split: m_buffer or the caller's
    std::string m_delimiters;
    bool m_first = true;
    std::size_t m_scan = 0;
};

// The value of a token of ASCII decimal digits; throws CpException("数字ではありません。")
// for an empty token or any other byte. Values above 2147483647 read as 2147483647.
int ToNumber(std::string token);
int ToNumber(const char* data, std::size_t size);

// Decimal text of the value: a minus sign for negatives, no leading zeros.
std::string IntToString(int value);

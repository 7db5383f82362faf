#pragma once

#include <cstddef>
#include <string>

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

    // The next token; throws CpException("トークンが有りません。") when the line
    // has no further token, and keeps doing so until the next SetLine.
    std::string NextToken();

    // Everything after the tokens taken so far, from the next token to the end
    // of the line, without trailing spaces; empty when no token is left.
    std::string RestOfLine() const;

private:
    std::size_t SkipDelimiters(std::size_t from) const;

    std::string m_buffer;
    std::string m_delimiters;
    bool m_first = true;
    std::size_t m_scan = 0;
};

// The value of a token of ASCII decimal digits; throws CpException("数字ではありません。")
// for an empty token or any other byte. Values above 2147483647 read as 2147483647.
int ToNumber(std::string token);

// Decimal text of the value: a minus sign for negatives, no leading zeros.
std::string IntToString(int value);

#include "questions/TokenReader.h"

#include "questions/CpException.h"
#include "questions/Messages.h"

#include <charconv>
#include <limits>
#include <utility>

TokenReader::TokenReader() : m_delimiters(" ") {}

TokenReader::~TokenReader() = default;

void TokenReader::SetLine(std::string line) {
    // NUL is an ordinary byte here: cutting the line at it would silently drop
    // the rest of the line from the file at the next save.
    m_buffer = std::move(line);
    m_first = true;
    m_scan = 0;
}

std::size_t TokenReader::SkipDelimiters(std::size_t from) const {
    const std::size_t pos = m_buffer.find_first_not_of(m_delimiters, from);
    return pos == std::string::npos ? m_buffer.size() : pos;
}

std::string TokenReader::NextToken() {
    if (m_first) {
        m_scan = 0;
        m_first = false;
    }
    const std::size_t start = SkipDelimiters(m_scan);
    if (start == m_buffer.size()) {
        m_scan = start;
        throw CpException(messages::kNoToken);
    }
    std::size_t end = m_buffer.find_first_of(m_delimiters, start);
    if (end == std::string::npos) {
        end = m_buffer.size();
        m_scan = end;
    } else {
        m_scan = end + 1;
    }
    return m_buffer.substr(start, end - start);
}

std::string TokenReader::RestOfLine() const {
    const std::size_t start = SkipDelimiters(m_first ? 0 : m_scan);
    const std::size_t last = m_buffer.find_last_not_of(m_delimiters);
    if (start == m_buffer.size() || last == std::string::npos || last < start) {
        return {};
    }
    return m_buffer.substr(start, last + 1 - start);
}

int ToNumber(std::string token) {
    if (token.empty()) {
        throw CpException(messages::kNotANumber);
    }
    constexpr int kMax = std::numeric_limits<int>::max();
    int value = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') {
            throw CpException(messages::kNotANumber);
        }
        const int digit = c - '0';
        // Saturate rather than overflow: a huge count is still a count.
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

std::string IntToString(int value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

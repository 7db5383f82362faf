#include "questions/TokenReader.h"

#include "questions/CpException.h"
#include "res/Strings.h"

#include <charconv>
#include <limits>
#include <utility>

TokenReader::TokenReader() : m_delimiters(" ") {}

TokenReader::~TokenReader() = default;

void TokenReader::SetLine(std::string line) {
    // NUL is an ordinary byte here: cutting the line at it would silently drop
    // the rest of the line from the file at the next save.
    m_buffer = std::move(line);
    m_line = m_buffer;
    m_first = true;
    m_scan = 0;
}

void TokenReader::SetLine(const char* data, std::size_t size) {
    m_line = std::string_view(data, size);
    m_first = true;
    m_scan = 0;
}

std::size_t TokenReader::SkipDelimiters(std::size_t from) const {
    const std::size_t pos = m_line.find_first_not_of(Delimiter(), from);
    return pos == std::string_view::npos ? m_line.size() : pos;
}

std::string TokenReader::NextToken() {
    return std::string(NextTokenView());
}

void TokenReader::ThrowNoToken() {
    throw CpException(strings::kNoToken);
}

std::string TokenReader::RestOfLineAfterScan() const {
    const std::size_t start = SkipDelimiters(m_first ? 0 : m_scan);
    if (start == m_line.size()) {
        return {};
    }
    const std::size_t last = m_line.find_last_not_of(Delimiter());
    if (last == std::string_view::npos || last < start) {
        return {};
    }
    return std::string(m_line.substr(start, last + 1 - start));
}

int ToNumber(std::string token) {
    return ToNumber(token.data(), token.size());
}

int ToNumber(const char* data, std::size_t size) {
    const std::string_view token(data, size);
    if (token.empty()) {
        throw CpException(strings::kNotANumber);
    }
    constexpr int kMax = std::numeric_limits<int>::max();
    int value = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') {
            throw CpException(strings::kNotANumber);
        }
        const int digit = c - '0';
        // Saturate rather than overflow: a huge count is still a count.
        const bool over = value > kMax / 10 || (value == kMax / 10 && digit > kMax % 10);
        value = over ? kMax : value * 10 + digit;
    }
    return value;
}

std::string IntToString(int value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

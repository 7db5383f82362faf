#include "questions/TextFileReader.h"

#include <cstring>

namespace {
constexpr std::size_t kChunk = 1 << 16;
constexpr char kEndOfInput = '\x1a';
} // namespace

TextFileReader::TextFileReader(std::string path)
    : m_file(std::fopen(path.c_str(), "rb")), m_buffer(kChunk) {}

TextFileReader::~TextFileReader() {
    if (m_file) {
        std::fclose(m_file);
    }
}

bool TextFileReader::Fill() {
    if (!m_file || m_error) {
        return false;
    }
    m_pos = 0;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (m_end == 0) {
        m_error = std::ferror(m_file) != 0;
        m_stop = 0;
        return false;
    }
    const void* stop = std::memchr(m_buffer.data(), kEndOfInput, m_end);
    m_stop = stop ? static_cast<std::size_t>(static_cast<const char*>(stop) - m_buffer.data())
                  : m_end;
    return true;
}

bool TextFileReader::ReadLine(std::string& line) {
    line.clear();
    m_lineEnd.clear();
    bool any = false;
    while (!m_stopped) {
        if (m_pos == m_end && !Fill()) {
            break;
        }
        const char* start = m_buffer.data() + m_pos;
        const std::size_t limit = m_stop > m_pos ? m_stop - m_pos : 0;
        const void* found = std::memchr(start, '\n', limit);
        if (found) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(found) - start);
            line.append(start, length);
            m_pos += length + 1;
            m_lineEnd = "\n";
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
                m_lineEnd = "\r\n";
            }
            return true;
        }
        line.append(start, limit);
        any = any || limit > 0;
        m_pos += limit;
        if (m_pos == m_stop && m_stop < m_end) {
            m_stopped = true; // the 0x1A stays unread for ReadRest
        }
    }
    if (!any) {
        return false;
    }
    if (line.back() == '\r') {
        line.pop_back();
        m_lineEnd = "\r";
    }
    return true;
}

std::string TextFileReader::ReadRest() {
    std::string rest(m_buffer.data() + m_pos, m_end - m_pos);
    m_pos = m_end;
    while (Fill()) {
        rest.append(m_buffer.data(), m_end);
        m_pos = m_end;
    }
    m_stopped = true;
    return rest;
}

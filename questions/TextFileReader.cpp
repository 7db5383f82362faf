#include "questions/TextFileReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kChunk = 1 << 16;
constexpr char kEndOfInput = '\x1a';

bool StartsWith(const char* data, std::size_t size, std::string_view mark) {
    return size >= mark.size() && std::memcmp(data, mark.data(), mark.size()) == 0;
}
} // namespace

TextFileReader::TextFileReader(std::unique_ptr<ByteSource> source)
    : m_source(std::move(source)),
      // Not zero-filled: every byte is read before it is looked at.
      m_buffer(std::make_unique_for_overwrite<char[]>(kChunk)) {}

TextFileReader::~TextFileReader() = default;

const FileStamp& TextFileReader::Stamp() const {
    static const FileStamp kNone;
    return m_source ? m_source->Stamp() : kNone;
}

bool TextFileReader::Fill() {
    if (!m_source || m_error || m_foreignMark) {
        return false;
    }
    m_pos = 0;
    // Once a read came up short at the end of the file, asking again would
    // only cost another system call.
    m_end = m_atEnd ? 0 : m_source->Read(m_buffer.get(), kChunk);
    m_atEnd = m_end < kChunk;
    if (m_end == 0) {
        m_error = m_source->Failed();
        m_stop = 0;
        return false;
    }
    if (!m_started) {
        m_started = true;
        TakeMark();
        if (m_foreignMark) {
            m_end = m_stop = 0;
            return false;
        }
    }
    if (!m_utf8Mark) {
        m_utf8.Feed(m_buffer.get() + m_pos, m_end - m_pos);
    }
    const void* stop = std::memchr(m_buffer.get(), kEndOfInput, m_end);
    m_stop =
        stop ? static_cast<std::size_t>(static_cast<const char*>(stop) - m_buffer.get()) : m_end;
    return true;
}

namespace {

// The byte order marks the reader looks for; UTF-32 LE before UTF-16 LE, whose
// mark starts the other's.
struct Mark {
    std::string_view bytes;
    const char* foreign; // null for UTF-8's own
};
constexpr Mark kMarks[] = {{"\xef\xbb\xbf", nullptr},
                           {std::string_view("\xff\xfe\0\0", 4), "UTF-32"},
                           {std::string_view("\0\0\xfe\xff", 4), "UTF-32"},
                           {"\xff\xfe", "UTF-16"},
                           {"\xfe\xff", "UTF-16"}};

const Mark* MarkAt(const char* data, std::size_t size) {
    for (const Mark& mark : kMarks) {
        if (StartsWith(data, size, mark.bytes)) {
            return &mark;
        }
    }
    return nullptr;
}

} // namespace

bool TextFileReader::StartsWithMark(std::string_view bytes) {
    return MarkAt(bytes.data(), bytes.size()) != nullptr;
}

void TextFileReader::TakeMark() {
    if (const Mark* mark = MarkAt(m_buffer.get(), m_end)) {
        m_foreignMark = mark->foreign;
        m_utf8Mark = mark->foreign == nullptr;
        m_pos = m_utf8Mark ? mark->bytes.size() : 0;
    }
}

void TextFileReader::EndLine(std::string_view& line, const char* start, std::size_t length,
                             bool spilled) {
    m_pos += length + 1;
    m_lineEnd = kLf;
    if (spilled) {
        m_spill.append(start, length);
        line = m_spill;
    } else {
        line = std::string_view(start, length);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
        m_lineEnd = kCrLf;
    }
}

bool TextFileReader::ReadSpilledLine(std::string_view& line) {
    line = {};
    m_lineEnd = kNone;
    m_spill.clear();
    bool any = false;
    while (!m_stopped) {
        if (m_pos == m_end && !Fill()) {
            break;
        }
        const char* start = m_buffer.get() + m_pos;
        const std::size_t limit = m_stop > m_pos ? m_stop - m_pos : 0;
        const void* found = std::memchr(start, '\n', limit);
        if (found) {
            EndLine(line, start, static_cast<std::size_t>(static_cast<const char*>(found) - start),
                    any);
            return true;
        }
        m_spill.append(start, limit);
        any = any || limit > 0;
        m_pos += limit;
        if (m_pos == m_stop && m_stop < m_end) {
            m_stopped = true; // the 0x1A stays unread for ReadRest
        }
    }
    if (!any) {
        return false;
    }
    line = m_spill;
    if (line.back() == '\r') {
        line.remove_suffix(1);
        m_lineEnd = kCr;
    }
    return true;
}

std::string TextFileReader::ReadRest() {
    std::string rest(m_buffer.get() + m_pos, m_end - m_pos);
    m_pos = m_end;
    while (Fill()) {
        rest.append(m_buffer.get() + m_pos, m_end - m_pos);
        m_pos = m_end;
    }
    m_stopped = true;
    return rest;
}

std::size_t TextFileReader::EstimatedLines() const {
    if (!m_started || m_end == 0) {
        return 0;
    }
    // Lines up to the first empty one or the 0x1A, which end the records: when
    // that is within the first piece, the count is exact.
    const char* const first = m_buffer.get() + (m_utf8Mark ? 3 : 0);
    const char* const stop = m_buffer.get() + m_stop;
    std::size_t lines = 0;
    for (const char* p = first; p < stop; ++lines) {
        if (*p == '\n' || (*p == '\r' && p + 1 < stop && p[1] == '\n')) {
            return lines;
        }
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
        if (p == nullptr) {
            return lines + 1;
        }
        ++p;
    }
    if (m_stop < m_end || m_atEnd) {
        return lines;
    }
    // Otherwise in proportion to the file's size, a little over: growing the
    // lists by copying costs more than a few spare slots.
    // A record line has at least six bytes ("a b 0" and its end).
    const double perByte = static_cast<double>(lines) / static_cast<double>(stop - first);
    return static_cast<std::size_t>(
        std::min(perByte * 1.05, 1.0 / 6) * static_cast<double>(Stamp().size) + 1);
}

TextEncoding TextFileReader::Encoding() const {
    if (m_utf8Mark) {
        return TextEncoding::kUtf8WithMark;
    }
    return m_utf8.IsUtf8Text() ? TextEncoding::kUtf8 : TextEncoding::kCp932;
}

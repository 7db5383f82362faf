#pragma once

#include "questions/FileStamp.h"
#include "questions/FileStore.h"
#include "questions/TextEncoding.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// Reads a question-set file line by line with the text-mode rules done by hand,
// so that every platform reads the same: LF ends a line, a CR right before it
// (or at the very end of the input) is dropped, any other CR is kept, and a
// 0x1A byte ends the input. A last line without a line break is still a line.
//
// On the way it tells the file's encoding from all of its bytes, without a
// second read: a UTF-8 byte order mark (skipped, not part of the first line),
// else UTF-8 when every byte is, else code page 932.
class TextFileReader {
public:
    // What ended a line.
    enum LineEnd : unsigned char { kNone, kLf, kCrLf, kCr };
    static std::string_view LineEndBytes(LineEnd end) {
        constexpr std::string_view kBytes[] = {"", "\n", "\r\n", "\r"};
        return kBytes[end];
    }

    // Whether the bytes start with a byte order mark that the reader takes as one.
    static bool StartsWithMark(std::string_view bytes);

    // Null for a file that could not be opened.
    explicit TextFileReader(std::unique_ptr<ByteSource> source);
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;
    virtual ~TextFileReader();

    bool IsOpen() const { return m_source != nullptr; }
    // The file could not be opened, or reading it failed part way.
    bool HasFailed() const { return m_source == nullptr || m_error; }
    // The file as it was opened, before anything was read.
    const FileStamp& Stamp() const;
    // "UTF-16" or "UTF-32" when the file starts with the byte order mark of
    // one of them (no line is read then), else null.
    const char* ForeignMark() const { return m_foreignMark; }

    // The next line, without its line break; false at the end of the input.
    // The view is valid until the next read.
    bool ReadLine(std::string_view& line) {
        // Inline for the common case: the whole line lies in the buffer.
        if (m_pos < m_stop && !m_stopped) {
            const char* start = m_buffer.get() + m_pos;
            if (const void* found = std::memchr(start, '\n', m_stop - m_pos)) {
                const auto length =
                    static_cast<std::size_t>(static_cast<const char*>(found) - start);
                m_pos += length + 1;
                const bool cr = length > 0 && start[length - 1] == '\r';
                line = std::string_view(start, cr ? length - 1 : length);
                m_lineEnd = cr ? kCrLf : kLf;
                return true;
            }
        }
        return ReadSpilledLine(line);
    }
    // About how many lines the file has, from the first piece read and the
    // file's size; 0 before anything was read.
    std::size_t EstimatedLines() const;
    // What ended the line last read.
    LineEnd LastLineEnd() const { return m_lineEnd; }
    // Whether the line last read was cut by a 0x1A rather than by the file's end.
    bool StoppedAtEndMark() const { return m_stopped; }
    // Every byte not read yet, up to the real end of the file (past any 0x1A).
    std::string ReadRest();
    // Known once the whole file has been read (after ReadRest).
    TextEncoding Encoding() const;

private:
    bool Fill();
    void TakeMark();
    // ReadLine for a line that crosses the end of the buffer or of the input.
    bool ReadSpilledLine(std::string_view& line);
    // The line that the LF at start + length ends, after the bytes spilled
    // before it, if any.
    void EndLine(std::string_view& line, const char* start, std::size_t length, bool spilled);

    std::unique_ptr<ByteSource> m_source;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_stop = 0; // first 0x1A in the buffer, or m_end
    bool m_stopped = false;
    bool m_error = false;
    bool m_atEnd = false;
    bool m_started = false;
    bool m_utf8Mark = false;
    const char* m_foreignMark = nullptr;
    LineEnd m_lineEnd = kNone;
    std::string m_spill; // a line that runs over the end of the buffer
    Utf8Check m_utf8;
};

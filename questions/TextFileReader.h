#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// Reads a question-set file line by line with the text-mode rules done by hand,
// so that every platform reads the same: LF ends a line, a CR right before it
// (or at the very end of the input) is dropped, any other CR is kept, and a
// 0x1A byte ends the input. A last line without a line break is still a line.
class TextFileReader {
public:
    explicit TextFileReader(std::string path);
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;
    virtual ~TextFileReader();

    bool IsOpen() const { return m_file != nullptr; }
    // The file could not be opened, or reading it failed part way.
    bool HasFailed() const { return m_file == nullptr || m_error; }

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
    // The bytes that ended the line last read: "\r\n", "\n", "\r" or nothing.
    const std::string& LastLineEnd() const;
    // Every byte not read yet, up to the real end of the file (past any 0x1A).
    std::string ReadRest();

private:
    // Indexes of LastLineEnd's texts.
    static constexpr unsigned char kNoEnd = 0;
    static constexpr unsigned char kLf = 1;
    static constexpr unsigned char kCrLf = 2;
    static constexpr unsigned char kCr = 3;

    bool Fill();
    // ReadLine for a line that crosses the end of the buffer or of the input.
    bool ReadSpilledLine(std::string_view& line);

    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_stop = 0; // first 0x1A in the buffer, or m_end
    bool m_stopped = false;
    bool m_error = false;
    bool m_atEnd = false;
    unsigned char m_lineEnd = 0; // index into the line ends LastLineEnd knows
    std::string m_spill;         // a line that runs over the end of the buffer
};

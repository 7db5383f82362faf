#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

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
    bool ReadLine(std::string& line);
    // The bytes that ended the line last read: "\r\n", "\n", "\r" or nothing.
    const std::string& LastLineEnd() const { return m_lineEnd; }
    // Every byte not read yet, up to the real end of the file (past any 0x1A).
    std::string ReadRest();

private:
    bool Fill();

    std::FILE* m_file = nullptr;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_stop = 0; // first 0x1A in the buffer, or m_end
    bool m_stopped = false;
    bool m_error = false;
    std::string m_lineEnd;
};

#pragma once

#include <memory>
#include <string>
#include <string_view>

class AtomicFile;

// Writes the lines of a question-set file, each ended by CR LF on every
// platform. Nothing reaches the file until Close succeeds; a writer destroyed
// without it leaves the file as it was.
class TextFileWriter {
public:
    explicit TextFileWriter(std::string path);
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;
    virtual ~TextFileWriter();

    // Every line's end, on every platform; callers compose whole lines.
    static constexpr std::string_view kLineBreak = "\r\n";

    void Write(std::string_view text);
    // True when the whole content is in the file and on disk.
    bool Close();

private:
    void Flush();

    std::unique_ptr<AtomicFile> m_file;
    std::string m_buffer;
    bool m_ok = true;
};

#pragma once

#include "questions/FileStamp.h"
#include "questions/FileStore.h"

#include <memory>
#include <string>
#include <string_view>

// Writes the bytes of a question-set file, lines as the caller composed them.
// Nothing reaches the file until Close succeeds; a writer destroyed without it
// leaves the file as it was.
class TextFileWriter {
public:
    explicit TextFileWriter(std::unique_ptr<ByteSink> file);
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;
    virtual ~TextFileWriter();

    // The line end of a code page 932 file, on every platform.
    static constexpr std::string_view kLineBreak = "\r\n";

    void Write(std::string_view text);
    // True when the whole content is in the file and on disk.
    bool Close();
    // The file as Close left it.
    const FileStamp& Stamp() const;
    // Why Close failed, in words for the learner.
    std::string FailureReason() const;

private:
    void Flush();

    std::unique_ptr<ByteSink> m_file;
    std::string m_buffer;
    bool m_ok = true;
};

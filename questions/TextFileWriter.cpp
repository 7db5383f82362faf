#include "questions/TextFileWriter.h"

#include <utility>

namespace {
constexpr std::size_t kFlushAt = 1 << 18;
}

TextFileWriter::TextFileWriter(std::unique_ptr<ByteSink> file) : m_file(std::move(file)) {
    m_buffer.reserve(kFlushAt + 4096);
}

TextFileWriter::~TextFileWriter() = default;

void TextFileWriter::Write(std::string_view text) {
    if (text.size() >= kFlushAt) {
        // Already a large piece: straight to the file, without a copy.
        Flush();
        if (m_ok) {
            m_ok = m_file->Write(text.data(), text.size());
        }
        return;
    }
    m_buffer.append(text);
    if (m_buffer.size() >= kFlushAt) {
        Flush();
    }
}

void TextFileWriter::Flush() {
    if (m_ok && !m_buffer.empty()) {
        m_ok = m_file->Write(m_buffer.data(), m_buffer.size());
    }
    m_buffer.clear();
}

bool TextFileWriter::Close() {
    Flush();
    return m_file->Commit() && m_ok;
}

const FileStamp& TextFileWriter::Stamp() const {
    return m_file->Stamp();
}

std::string TextFileWriter::FailureReason() const {
    return m_file->FailureReason();
}

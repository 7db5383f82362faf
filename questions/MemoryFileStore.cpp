#include "questions/MemoryFileStore.h"

#include "res/Strings.h"

#include <algorithm>
#include <functional>
#include <utility>

class MemoryFileStore::Source : public ByteSource {
public:
    explicit Source(const Entry& entry) : m_bytes(entry.bytes), m_stamp(entry.stamp) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_bytes.size() - m_pos);
        std::copy_n(m_bytes.data() + m_pos, n, buffer);
        m_pos += n;
        return n;
    }
    bool Failed() const override { return false; }
    const FileStamp& Stamp() const override { return m_stamp; }

private:
    const std::string m_bytes; // as opened: a later write does not reach it
    const FileStamp m_stamp;
    std::size_t m_pos = 0;
};

class MemoryFileStore::Sink : public ByteSink {
public:
    Sink(MemoryFileStore& store, std::string path) : m_store(store), m_path(std::move(path)) {}

    bool Write(const char* data, std::size_t size) override {
        m_bytes.append(data, size);
        return true;
    }
    bool Commit() override {
        const Entry* entry = m_store.Find(m_path);
        if (entry && entry->readOnly) {
            return false;
        }
        m_store.Put(m_path, std::move(m_bytes));
        m_stamp = m_store.StampOf(m_path);
        return true;
    }
    const FileStamp& Stamp() const override { return m_stamp; }
    std::string FailureReason() const override { return strings::kReasonNotAllowed; }

private:
    MemoryFileStore& m_store;
    const std::string m_path;
    std::string m_bytes;
    FileStamp m_stamp;
};

void MemoryFileStore::Put(const std::string& path, std::string bytes) {
    Entry& entry = m_files[path];
    entry.stamp = {true, 1, std::hash<std::string>{}(path), bytes.size(),
                   static_cast<std::int64_t>(++m_writes)};
    entry.bytes = std::move(bytes);
}

std::string MemoryFileStore::Bytes(const std::string& path) const {
    const auto found = m_files.find(path);
    return found == m_files.end() ? std::string() : found->second.bytes;
}

void MemoryFileStore::SetReadOnly(const std::string& path, bool readOnly) {
    if (Entry* entry = Find(path)) {
        entry->readOnly = readOnly;
    }
}

MemoryFileStore::Entry* MemoryFileStore::Find(const std::string& path) {
    const auto found = m_files.find(path);
    return found == m_files.end() ? nullptr : &found->second;
}

std::unique_ptr<ByteSource> MemoryFileStore::OpenForReading(const std::string& path) {
    const Entry* entry = Find(path);
    return entry ? std::make_unique<Source>(*entry) : nullptr;
}

std::unique_ptr<ByteSink> MemoryFileStore::OpenForWriting(const std::string& path) {
    return std::make_unique<Sink>(*this, path);
}

FileStamp MemoryFileStore::StampOf(const std::string& path) {
    const Entry* entry = Find(path);
    return entry ? entry->stamp : FileStamp{};
}

bool MemoryFileStore::IsWritable(const std::string& path) {
    const Entry* entry = Find(path);
    return !entry || !entry->readOnly;
}

std::unique_ptr<FileStore::Hold> MemoryFileStore::HoldForSave(const std::string&) {
    return std::make_unique<Hold>(); // one process: nothing to keep out
}

#pragma once

#include "questions/FileStore.h"

#include <cstdint>
#include <map>
#include <string>

// Files held in memory, each with a stamp that changes at every write. A
// commit to a file marked read-only fails, and leaves it as it was.
class MemoryFileStore : public FileStore {
public:
    // Writes a file as another program would.
    void Put(const std::string& path, std::string bytes);
    // The file's bytes; empty when there is no such file.
    std::string Bytes(const std::string& path) const;
    void SetReadOnly(const std::string& path, bool readOnly);

    std::unique_ptr<ByteSource> OpenForReading(const std::string& path) override;
    std::unique_ptr<ByteSink> OpenForWriting(const std::string& path) override;
    FileStamp StampOf(const std::string& path) override;
    bool IsWritable(const std::string& path) override;
    std::unique_ptr<Hold> HoldForSave(const std::string& path) override;

private:
    class Source;
    class Sink;
    struct Entry {
        std::string bytes;
        FileStamp stamp;
        bool readOnly = false;
    };

    Entry* Find(const std::string& path);

    std::map<std::string, Entry> m_files;
    std::uint64_t m_writes = 0;
};

#pragma once

#include "questions/FileStore.h"

// Question-set files on disk: read under FileLock, which first puts back an
// interrupted in-place save, and written through AtomicFile.
class DiskFileStore : public FileStore {
public:
    std::unique_ptr<ByteSource> OpenForReading(const std::string& path) override;
    std::unique_ptr<ByteSink> OpenForWriting(const std::string& path) override;
    FileStamp StampOf(const std::string& path) override;
    bool IsWritable(const std::string& path) override;
    std::unique_ptr<Hold> HoldForSave(const std::string& path) override;
};

#pragma once

#include "questions/FileStamp.h"

#include <cstddef>
#include <memory>
#include <string>

// The bytes of a file opened for reading.
class ByteSource {
public:
    virtual ~ByteSource();
    // Up to `size` bytes; fewer only at the end of the file or on a failure.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    virtual bool Failed() const = 0;
    // The file as it was opened, before anything was read.
    virtual const FileStamp& Stamp() const = 0;
};

// The new bytes of a file, which replace it only once Commit succeeds.
class ByteSink {
public:
    virtual ~ByteSink();
    virtual bool Write(const char* data, std::size_t size) = 0;
    // True when the whole content is in the file; otherwise the file is as it was.
    virtual bool Commit() = 0;
    // The file as the committed content left it.
    virtual const FileStamp& Stamp() const = 0;
    // Why Write or Commit failed, in words for the learner.
    virtual std::string FailureReason() const = 0;
};

// Where the file layer reads and writes question-set files: the disk, or
// memory (MemoryFileStore), so that the format and the merge of a changed
// file behave alike on both.
class FileStore {
public:
    // What keeps other saves out while it lives.
    class Hold {
    public:
        virtual ~Hold();
    };

    virtual ~FileStore();

    // The disk, through the platform's file calls.
    static FileStore& Disk();

    // Null when the file cannot be opened.
    virtual std::unique_ptr<ByteSource> OpenForReading(const std::string& path) = 0;
    virtual std::unique_ptr<ByteSink> OpenForWriting(const std::string& path) = 0;
    // Invalid when there is no such file.
    virtual FileStamp StampOf(const std::string& path) = 0;
    // Whether a save could replace the file.
    virtual bool IsWritable(const std::string& path) = 0;
    // For the start of a save, held until it has replaced the file: throws
    // the failed save's CpException when another save keeps it.
    virtual std::unique_ptr<Hold> HoldForSave(const std::string& path) = 0;
};

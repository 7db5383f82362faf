#include "questions/DiskFileStore.h"

#include "questions/AtomicFile.h"
#include "questions/FileLock.h"
#include "questions/FileSystem.h"

#include <cstdio>
#include <utility>

namespace {

class DiskSource : public ByteSource {
public:
    DiskSource(FileLock lock, std::FILE* file)
        : m_lock(std::move(lock)), m_file(file), m_stamp(FileSystem::StampOf(file)) {}
    DiskSource(const DiskSource&) = delete;
    DiskSource& operator=(const DiskSource&) = delete;
    ~DiskSource() override { std::fclose(m_file); }

    std::size_t Read(char* buffer, std::size_t size) override {
        return std::fread(buffer, 1, size, m_file);
    }
    bool Failed() const override { return std::ferror(m_file) != 0; }
    const FileStamp& Stamp() const override { return m_stamp; }

private:
    // Read while no Kirabel writes it.
    FileLock m_lock;
    std::FILE* m_file;
    FileStamp m_stamp;
};

class DiskSink : public ByteSink {
public:
    explicit DiskSink(const std::string& path) : m_file(path) {}

    bool Write(const char* data, std::size_t size) override { return m_file.Write(data, size); }
    bool Commit() override { return m_file.Commit(); }
    const FileStamp& Stamp() const override { return m_file.Stamp(); }
    std::string FailureReason() const override { return m_file.FailureReason(); }

private:
    AtomicFile m_file;
};

class SaveLock : public FileStore::Hold {
public:
    explicit SaveLock(FileLock lock) : m_lock(std::move(lock)) {}

private:
    FileLock m_lock;
};

} // namespace

ByteSource::~ByteSource() = default;
ByteSink::~ByteSink() = default;
FileStore::Hold::~Hold() = default;
FileStore::~FileStore() = default;

FileStore& FileStore::Disk() {
    static DiskFileStore disk;
    return disk;
}

std::unique_ptr<ByteSource> DiskFileStore::OpenForReading(const std::string& path) {
    // Locked before it is opened: the file is then whole, even after a
    // killed in-place save.
    FileLock lock(path);
    std::FILE* file = FileSystem::OpenForReading(path);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<DiskSource>(std::move(lock), file);
}

std::unique_ptr<ByteSink> DiskFileStore::OpenForWriting(const std::string& path) {
    return std::make_unique<DiskSink>(path);
}

FileStamp DiskFileStore::StampOf(const std::string& path) {
    return FileSystem::StampOf(path);
}

bool DiskFileStore::IsWritable(const std::string& path) {
    return FileSystem::IsWritable(path);
}

std::unique_ptr<FileStore::Hold> DiskFileStore::HoldForSave(const std::string& path) {
    return std::make_unique<SaveLock>(FileLock::ForSave(path));
}

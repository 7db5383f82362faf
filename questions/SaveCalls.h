#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The system calls under AtomicFile, one implementation per platform: each
// does one thing the operating system offers, and the order that makes a save
// safe is AtomicFile's alone. A call that fails leaves its reason for
// LastError, as the system does.
class SaveCalls {
public:
#if defined(_WIN32)
    using Char = wchar_t; // paths in the "\\?\" form
#else
    using Char = char; // paths as the file system's own bytes
#endif
    using Path = std::basic_string<Char>;
    // A descriptor or a HANDLE; both systems' invalid one is -1.
    using Handle = std::intptr_t;
    static constexpr Handle kNoHandle = -1;
    using Error = long; // errno, GetLastError

    // What a replacement keeps of the file it replaces: mode, owner and group
    // on POSIX; the carried attributes (in mode) on Windows.
    struct Kept {
        std::uint32_t mode = 0;
        std::uint32_t owner = 0;
        std::uint32_t group = 0;
    };

    // A file as a save finds it, links followed.
    struct Target {
        Path path;
        Error error = 0; // why it cannot be saved at all
        bool exists = false;
        bool inPlaceOnly = false; // a link that only a rewrite keeps
        std::uint32_t links = 1;
        Kept kept;
    };

    // A file in a folder listing, with its times in the system's own unit.
    struct Entry {
        Path name;
        std::int64_t made = 0;
        std::int64_t written = 0;
    };

    enum class Replaced { kYes, kNo, kNoAndOnlyCopy };

    // Whether a new file is written beside and moved in, as an existing one,
    // or created where it is to be.
    static const bool kNewFileBeside;
    static const Error kGeneralFailure;

    static Error LastError();
    static Target Examine(const std::string& path);
    // The path a save writes, links followed; empty when there is no file.
    static Path Resolve(const std::string& path);
    static Path FolderOf(const Path& path);
    static Path NameOf(const Path& path);
    static Path Join(const Path& folder, const Path& name);
    static bool SameFile(const Path& one, const Path& other);

    // A temporary name of Make's form beside `target`, shared with nobody and
    // never more readable than the file it is to replace.
    static Handle CreateTemporary(const Path& target, const Kept& kept, Path& made);
    // Not truncated: the old content stays until the new one is written.
    static Handle OpenInPlace(const Path& target, bool existing);
    static bool Write(Handle file, const char* data, std::size_t size);
    // Starts putting a written piece on disk, where the system can.
    static void StartWriteback(Handle file, std::uint64_t from, std::uint64_t size);
    // EFBIG where the process may not write a file of this size.
    static Error WhyTooLarge(std::uint64_t size);
    // Room for `size` bytes without changing what the file shows; true where
    // the file system cannot reserve but the space is likely there.
    static bool Reserve(Handle file, const Path& target, std::uint64_t size);
    static bool Rewind(Handle file);
    static bool CutAt(Handle file, std::uint64_t size);
    static bool KeepMode(Handle file, const Kept& kept);
    // Sets the write time now, where the system would stamp it later.
    static bool PinWriteTime(Handle file);
    static bool Sync(Handle file);
    static bool Close(Handle file);
    static bool ReadWhole(const Path& path, std::string& content);

    // Over a name that stays unused: a copy beside the file.
    static bool Rename(const Path& from, const Path& to);
    static Replaced Replace(const Path& temporary, const Path& target, bool existed,
                            const Kept& kept);
    // Puts the folder's names on disk, where renames are not already.
    static void SyncFolder(const Path& target);
    static void Remove(const Path& path, bool waitWhileBusy = false);

    // The plain files of this user in `folder` whose names start with `prefix`
    // and that `wanted` takes.
    static std::vector<Entry> OwnFiles(const Path& folder, const Path& prefix,
                                       const std::function<bool(const Path&)>& wanted);
    static unsigned long long ProcessId();
    // Whether the process may still be writing a file made at `made`; true for
    // what cannot be a process id here, so that its file stays.
    static bool MayStillSave(unsigned long long pid, std::int64_t made);
};

#pragma once

#include <cstdint>

// What tells one version of a file from another without reading it: its
// identity (device and file number), size and modification time. Two equal
// valid stamps mean that nobody wrote the file in between.
struct FileStamp {
    bool valid = false;
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds, or the platform's finest unit

    bool operator==(const FileStamp&) const = default;
};

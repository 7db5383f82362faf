#pragma once

#include "questions/FileStamp.h"

#include <cstdint>
#include <cstdio>
#include <string>

// The few file-system calls the file layer makes besides writing a file
// (AtomicFile), one implementation per platform. Paths are as the caller got
// them: the file system's own bytes on POSIX, UTF-8 on Windows.
class FileSystem {
public:
    // A binary stream for reading, or null.
    static std::FILE* OpenForReading(const std::string& path);
    static FileStamp StampOf(std::FILE* file);
    // Of an open file, by the platform's own handle (a descriptor, a HANDLE).
    static FileStamp StampOfHandle(std::intptr_t handle);
    // Follows symbolic links; invalid when there is no such file.
    static FileStamp StampOf(const std::string& path);
    // Whether a save could replace the file: a regular file that this process
    // may write (no read-only attribute or missing write permission).
    static bool IsWritable(const std::string& path);
    // Why a file call failed, in words for the learner, from the platform's
    // error number (errno, GetLastError): the few a learner can mend named in
    // Japanese, any other in the system's own words.
    static std::string ReasonOf(long error);
};

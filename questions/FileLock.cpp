#include "questions/FileLock.h"

#include "questions/CpException.h"
#include "res/Strings.h"

FileLock FileLock::ForSave(const std::string& path) {
    FileLock lock(path);
    if (lock.TimedOut()) {
        throw CpException(CpException(strings::kReasonHeld), strings::kSaveFailed);
    }
    return lock;
}

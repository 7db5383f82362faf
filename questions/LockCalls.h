#pragma once

#include <cstdint>
#include <string>

// The system calls under FileLock, one implementation per platform: how the
// processes of this machine meet on one file. How long a save waits, and
// what it does once it holds the lock, is FileLock's.
class LockCalls {
public:
    // What one FileLock took: a descriptor or a HANDLE, and what names the
    // lock within this process.
    struct Held {
        std::intptr_t handle = -1;
        std::string key;
    };

    enum class Taken {
        kFirst, // now held, by nobody of this process before
        kAgain, // this process holds it already
        kBusy,  // another process holds it: try again later
        kMoved, // the file was replaced while it was locked: try again now
        kNever, // the file cannot be locked at all
    };

    // Waits up to `wait` milliseconds for another process where the system
    // waits fairly (a mutex hands itself to the longest waiter); else kBusy
    // at once, and FileLock tries again.
    static Taken TryTake(const std::string& path, Held& held, std::uint32_t wait);
    static void Release(Held& held);
};

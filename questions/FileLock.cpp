#include "questions/FileLock.h"

#include "questions/AtomicFile.h"
#include "questions/CpException.h"
#include "questions/LockCalls.h"
#include "res/Strings.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

// A hung Kirabel must not stop the drill for long; a save of a million
// records takes well under this.
constexpr auto kWait = std::chrono::milliseconds(1500);
constexpr auto kLongestPause = std::chrono::milliseconds(16);

} // namespace

class FileLock::Impl {
public:
    explicit Impl(const std::string& path);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() { LockCalls::Release(m_held); }

    bool m_timedOut = false;

private:
    LockCalls::Held m_held;
};

FileLock::Impl::Impl(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto wait = static_cast<std::uint32_t>(std::max<long long>(left.count(), 0));
        const LockCalls::Taken taken = LockCalls::TryTake(path, m_held, wait);
        if (taken == LockCalls::Taken::kFirst) {
            AtomicFile::RepairInterrupted(path);
            return;
        }
        if (taken == LockCalls::Taken::kAgain || taken == LockCalls::Taken::kNever) {
            return; // kNever: as before there were any locks
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_timedOut = true;
            return;
        }
        if (taken == LockCalls::Taken::kBusy) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, kLongestPause);
        }
    }
}

FileLock::FileLock(const std::string& path) : m_impl(std::make_unique<Impl>(path)) {}
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&&) noexcept = default;
FileLock::~FileLock() = default;

bool FileLock::TimedOut() const {
    return m_impl && m_impl->m_timedOut;
}

FileLock FileLock::ForSave(const std::string& path) {
    FileLock lock(path);
    if (lock.TimedOut()) {
        throw CpException(CpException(strings::kReasonHeld), strings::kSaveFailed);
    }
    return lock;
}

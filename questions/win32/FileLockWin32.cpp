#include "questions/FileLock.h"

#include "questions/AtomicFile.h"
#include "questions/win32/LongPath.h"

#include <cstdint>
#include <map>
#include <string>
#include <windows.h>

namespace {

// A hung Kirabel must not stop the drill for long; a save of a million
// records takes well under this.
constexpr DWORD kWaitMilliseconds = 1500;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring Hex(std::uint64_t value) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(16, L'0');
    for (int i = 15; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    }
    return text;
}

std::uint64_t Fnv1a(const std::wstring& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : text) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    }
    return hash;
}

// A mutex named after the file: a save replaces the file by a new one, so no
// lock on the file itself would last, and a byte-range lock would stop other
// programs reading it. The full path, links followed and case folded, names
// it; a hard-linked file, which every save rewrites in place, by its
// identity, so that all its names meet. (Object names allow no backslash and
// MAX_PATH characters: the path goes in hashed.)
std::wstring MutexName(const std::string& path) {
    std::wstring full = LongPath::Of(path);
    if (full.empty()) {
        return {};
    }
    const HANDLE probe = ::CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        std::wstring key;
        if (::GetFileInformationByHandle(probe, &info) && info.nNumberOfLinks > 1) {
            key = L"file-" + Hex(info.dwVolumeSerialNumber) +
                  Hex(static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
        } else if (std::wstring final = LongPath::FinalOf(probe); !final.empty()) {
            full = std::move(final);
        }
        ::CloseHandle(probe);
        if (!key.empty()) {
            return L"Local\\kirabel-save-" + key;
        }
    }
    ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return L"Local\\kirabel-save-path-" + Hex(Fnv1a(full));
}

// How often this thread holds each mutex: a repair runs only on the first.
thread_local std::map<std::wstring, int> t_held;

} // namespace

class FileLock::Impl {
public:
    explicit Impl(const std::string& path);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    bool m_timedOut = false;

private:
    HANDLE m_mutex = nullptr;
    bool m_held = false;
    std::wstring m_name;
};

FileLock::Impl::Impl(const std::string& path) : m_name(MutexName(path)) {
    if (m_name.empty()) {
        return;
    }
    m_mutex = ::CreateMutexW(nullptr, FALSE, m_name.c_str());
    if (m_mutex == nullptr) {
        return; // as before there were any locks
    }
    switch (::WaitForSingleObject(m_mutex, kWaitMilliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its holder ended: its save was cut short, if anything
        m_held = true;
        break;
    case WAIT_TIMEOUT:
        m_timedOut = true;
        return;
    default:
        return;
    }
    if (t_held[m_name]++ == 0) {
        AtomicFile::RepairInterrupted(path);
    }
}

FileLock::Impl::~Impl() {
    if (m_held) {
        if (--t_held[m_name] == 0) {
            t_held.erase(m_name);
        }
        ::ReleaseMutex(m_mutex);
    }
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

FileLock::FileLock(const std::string& path) : m_impl(std::make_unique<Impl>(path)) {}
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&&) noexcept = default;
FileLock::~FileLock() = default;

bool FileLock::TimedOut() const {
    return m_impl && m_impl->m_timedOut;
}

#include "questions/LockCalls.h"

#include "questions/win32/LongPath.h"

#include <cstdint>
#include <map>
#include <string>
#include <windows.h>

namespace {

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

// How often this thread holds each mutex: only the first take is kFirst.
thread_local std::map<std::wstring, int> t_held;

} // namespace

LockCalls::Taken LockCalls::TryTake(const std::string& path, Held& held, std::uint32_t wait) {
    const std::wstring name = MutexName(path);
    const HANDLE mutex = name.empty() ? nullptr : ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        return Taken::kNever;
    }
    switch (::WaitForSingleObject(mutex, wait)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its holder ended: its save was cut short, if anything
        break;
    case WAIT_TIMEOUT:
        ::CloseHandle(mutex);
        return Taken::kBusy;
    default:
        ::CloseHandle(mutex);
        return Taken::kNever;
    }
    held.handle = reinterpret_cast<std::intptr_t>(mutex);
    held.key.assign(name.begin(), name.end()); // the name is ASCII
    return t_held[name]++ == 0 ? Taken::kFirst : Taken::kAgain;
}

void LockCalls::Release(Held& held) {
    if (held.handle == -1) {
        return;
    }
    const std::wstring name(held.key.begin(), held.key.end());
    if (--t_held[name] == 0) {
        t_held.erase(name);
    }
    const auto mutex = reinterpret_cast<HANDLE>(held.handle);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    held = {};
}

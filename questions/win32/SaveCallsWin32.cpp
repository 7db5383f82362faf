#include "questions/SaveCalls.h"

#include "questions/FileSystem.h"
#include "questions/TemporaryName.h"
#include "questions/win32/LongPath.h"
#include "utility/win32/Utf16.h"
#include "utility/win32/Wine.h"

#include <random>
#include <string>
#include <string_view>
#include <windows.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file that another program holds open is waited for about a second.
constexpr int kAttempts = 20;
constexpr DWORD kPauseMilliseconds = 50;

// What a save carries over from the file it replaces. Archive is set anyway:
// it tells backup programs that the content changed, as any write does.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

constexpr std::wstring_view kRandomLetters =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

HANDLE H(SaveCalls::Handle file) {
    return reinterpret_cast<HANDLE>(file);
}

SaveCalls::Handle Of(HANDLE file) {
    return reinterpret_cast<SaveCalls::Handle>(file);
}

std::int64_t TimeOf(const FILETIME& time) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 |
                                     time.dwLowDateTime);
}

// Another program has the file open without sharing it, for now.
bool IsBusy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The same, as a replace or a move over such a file reports it.
bool IsBusyTarget(DWORD error) {
    return IsBusy(error) || error == ERROR_ACCESS_DENIED ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Tries again while `busy` says the failure may pass; the last error stays.
template <typename Attempt> bool Retried(Attempt attempt, bool (*busy)(DWORD)) {
    for (int done = 1;; ++done) {
        if (attempt()) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (done == kAttempts || !busy(error)) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(kPauseMilliseconds);
    }
}

// Wine's ReplaceFileW renames the replaced file away and deletes it before it
// moves the new one in: a save killed in between leaves no file at all. Its
// MoveFileExW is one rename(2), which never does.
bool RunsOnWine() {
    return Wine::IsHost();
}

HANDLE Probe(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The path a save writes: a file with one name is reached through its links.
std::wstring TargetOf(const std::wstring& path, HANDLE probe, bool oneName) {
    std::wstring final = oneName ? LongPath::FinalOf(probe) : L"";
    return final.empty() ? path : final;
}

// Why an existing file cannot be saved over, 0 when it can.
DWORD WhyNotWritable(const std::string& path, const std::wstring& target) {
    if (FileSystem::IsWritable(path)) {
        return 0;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES          ? ::GetLastError()
           : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_DIRECTORY
                                                          : ERROR_ACCESS_DENIED;
}

bool MoveIn(const std::wstring& temporary, const std::wstring& target) {
    return Retried(
        [&] {
            return ::MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        IsBusyTarget);
}

// Keeps the replaced file's creation time, DACL, short name and streams, and
// merges its attributes.
bool ReplaceOver(const std::wstring& temporary, const std::wstring& target) {
    return Retried(
        [&] {
            return ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        },
        IsBusyTarget);
}

SaveCalls::Replaced Moved(const std::wstring& temporary, const std::wstring& target, bool existed) {
    if (!existed || RunsOnWine()) {
        return MoveIn(temporary, target) ? SaveCalls::Replaced::kYes : SaveCalls::Replaced::kNo;
    }
    if (ReplaceOver(temporary, target)) {
        return SaveCalls::Replaced::kYes;
    }
    const DWORD error = ::GetLastError();
    const bool gone = ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
                      ::GetLastError() == ERROR_FILE_NOT_FOUND;
    if (!gone) {
        ::SetLastError(error);
        return SaveCalls::Replaced::kNo;
    }
    // ERROR_UNABLE_TO_MOVE_REPLACEMENT: the old file is already gone.
    return MoveIn(temporary, target) ? SaveCalls::Replaced::kYes
                                     : SaveCalls::Replaced::kNoAndOnlyCopy;
}

} // namespace

const bool SaveCalls::kNewFileBeside = true;
const SaveCalls::Error SaveCalls::kGeneralFailure = ERROR_GEN_FAILURE;

SaveCalls::Error SaveCalls::LastError() {
    return static_cast<Error>(::GetLastError());
}

SaveCalls::Target SaveCalls::Examine(const std::string& path) {
    Target target;
    target.path = LongPath::Of(path);
    if (target.path.empty()) {
        target.error = ERROR_INVALID_NAME;
        return target;
    }
    const DWORD own = ::GetFileAttributesW(target.path.c_str()); // of a link, not its target
    const HANDLE probe = Probe(target.path);
    if (probe == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        target.error = error == ERROR_FILE_NOT_FOUND ? 0 : error;
        return target;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(probe, &info) != 0;
    const DWORD probeError = ::GetLastError();
    // Through a symbolic link into its target; the link itself stays. Asked
    // of every file, as Wine shows a Unix link as a plain one.
    const std::wstring final = TargetOf(target.path, probe, known && info.nNumberOfLinks == 1);
    target.inPlaceOnly = final == target.path && own != INVALID_FILE_ATTRIBUTES &&
                         (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    target.path = final;
    ::CloseHandle(probe);
    target.exists = true;
    target.error = known ? WhyNotWritable(path, target.path) : probeError;
    target.links = info.nNumberOfLinks;
    target.kept.mode = info.dwFileAttributes & kCarriedAttributes;
    return target;
}

SaveCalls::Path SaveCalls::Resolve(const std::string& path) {
    const std::wstring target = LongPath::Of(path);
    const HANDLE probe = target.empty() ? INVALID_HANDLE_VALUE : Probe(target);
    if (probe == INVALID_HANDLE_VALUE) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(probe, &info) != 0;
    std::wstring final = TargetOf(target, probe, known && info.nNumberOfLinks == 1);
    ::CloseHandle(probe);
    return final;
}

SaveCalls::Path SaveCalls::FolderOf(const Path& path) {
    return LongPath::FolderOf(path);
}

SaveCalls::Path SaveCalls::NameOf(const Path& path) {
    return LongPath::NameOf(path);
}

SaveCalls::Path SaveCalls::Join(const Path& folder, const Path& name) {
    return folder + L"\\" + name;
}

bool SaveCalls::SameFile(const Path& one, const Path& other) {
    const HANDLE first = Probe(one);
    const HANDLE second = first == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : Probe(other);
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = second != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(first, &a) &&
                      ::GetFileInformationByHandle(second, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    for (const HANDLE file : {first, second}) {
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
    }
    return same;
}

SaveCalls::Handle SaveCalls::CreateTemporary(const Path& target, const Kept& kept, Path& made) {
    const std::wstring folder = FolderOf(target);
    const std::wstring fileName = NameOf(target);
    std::random_device random;
    std::uniform_int_distribution<std::size_t> letter(0, kRandomLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring letters;
        for (std::size_t i = 0; i < temporaryname::kRandomLength; ++i) {
            letters += kRandomLetters[letter(random)];
        }
        std::wstring name =
            Join(folder, temporaryname::Make<wchar_t>(fileName, ProcessId(), letters));
        // Made with the attributes it is to have, so that a save cut short
        // after the move has them too.
        const HANDLE file =
            ::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                          CREATE_NEW, kept.mode | FILE_ATTRIBUTE_ARCHIVE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            made = std::move(name);
            return Of(file);
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return kNoHandle;
}

SaveCalls::Handle SaveCalls::OpenInPlace(const Path& target, bool existing) {
    HANDLE file = INVALID_HANDLE_VALUE;
    Retried(
        [&] {
            file = ::CreateFileW(target.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ, nullptr, existing ? OPEN_EXISTING : CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            return file != INVALID_HANDLE_VALUE;
        },
        IsBusy);
    return Of(file);
}

bool SaveCalls::Write(Handle file, const char* data, std::size_t size) {
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < kPiece ? size : kPiece);
        DWORD done = 0;
        if (!::WriteFile(H(file), data, piece, &done, nullptr)) {
            return false;
        }
        if (done == 0) {
            ::SetLastError(ERROR_HANDLE_DISK_FULL);
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

void SaveCalls::StartWriteback(Handle, std::uint64_t, std::uint64_t) {}

SaveCalls::Error SaveCalls::WhyTooLarge(std::uint64_t) {
    return 0;
}

bool SaveCalls::Reserve(Handle file, const Path& target, std::uint64_t size) {
    LARGE_INTEGER current{};
    if (!::GetFileSizeEx(H(file), &current)) {
        return false;
    }
    // A smaller reservation than the file would cut it: only growth.
    const auto had = static_cast<std::uint64_t>(current.QuadPart);
    if (size <= had) {
        return true;
    }
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(H(file), FileAllocationInfo, &allocation, sizeof allocation)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) {
        return false;
    }
    // A file system that cannot reserve (Wine's): the free space must cover
    // the growth at least.
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExW((FolderOf(target) + L"\\").c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < size - had) {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool SaveCalls::Rewind(Handle file) {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(H(file), start, nullptr, FILE_BEGIN) != 0;
}

bool SaveCalls::CutAt(Handle file, std::uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(H(file), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(H(file));
}

bool SaveCalls::KeepMode(Handle, const Kept&) {
    return true; // the attributes came with the temporary file
}

bool SaveCalls::PinWriteTime(Handle file) {
    // A time set on the handle is the one the file keeps: a file system that
    // would stamp the close, or the writes, later then cannot make the stamp
    // taken before the close differ from the file's.
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return ::SetFileTime(H(file), nullptr, nullptr, &now) != 0;
}

bool SaveCalls::Sync(Handle file) {
    return ::FlushFileBuffers(H(file)) != 0;
}

bool SaveCalls::Close(Handle file) {
    return ::CloseHandle(H(file)) != 0;
}

bool SaveCalls::ReadWhole(const Path& path, std::string& content) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    content.clear();
    char buffer[1 << 16];
    DWORD done = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &done, nullptr) != 0) && done > 0) {
        content.append(buffer, done);
    }
    ::CloseHandle(file);
    return ok;
}

bool SaveCalls::Rename(const Path& from, const Path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

SaveCalls::Replaced SaveCalls::Replace(const Path& temporary, const Path& target, bool existed,
                                       const Kept& kept) {
    const Replaced replaced = Moved(temporary, target, existed);
    if (replaced == Replaced::kYes) {
        ::SetFileAttributesW(target.c_str(), kept.mode | FILE_ATTRIBUTE_ARCHIVE);
        return replaced;
    }
    // A replace over a file that another program has open is refused as
    // access denied.
    const DWORD error = ::GetLastError();
    const bool busy = error == ERROR_ACCESS_DENIED && FileSystem::IsWritable(Utf16::ToUtf8(target));
    ::SetLastError(busy ? ERROR_SHARING_VIOLATION : error);
    return replaced;
}

void SaveCalls::SyncFolder(const Path&) {} // moves are written through

void SaveCalls::Remove(const Path& path, bool waitWhileBusy) {
    if (waitWhileBusy) {
        Retried([&] { return ::DeleteFileW(path.c_str()) != 0; }, IsBusy);
    } else {
        ::DeleteFileW(path.c_str());
    }
}

std::vector<SaveCalls::Entry> SaveCalls::OwnFiles(const Path& folder, const Path& prefix,
                                                  const std::function<bool(const Path&)>& wanted) {
    std::vector<Entry> found;
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = ::FindFirstFileExW(Join(folder, prefix + L"*").c_str(), FindExInfoBasic,
                                              &entry, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        return found;
    }
    // Only a plain file: no folder, and nothing a learner protected.
    constexpr DWORD kNotOurs =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
    do {
        if ((entry.dwFileAttributes & kNotOurs) == 0 && wanted(entry.cFileName)) {
            found.push_back(
                {entry.cFileName, TimeOf(entry.ftCreationTime), TimeOf(entry.ftLastWriteTime)});
        }
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return found;
}

unsigned long long SaveCalls::ProcessId() {
    return ::GetCurrentProcessId();
}

bool SaveCalls::MayStillSave(unsigned long long pid, std::int64_t made) {
    if (pid == 0 || pid > MAXDWORD) {
        return true;
    }
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                         static_cast<DWORD>(pid));
    if (process == nullptr) {
        return ::GetLastError() == ERROR_ACCESS_DENIED; // it runs, under another user
    }
    // Windows hands ids out again soon: a process that started after the file
    // was made is another program.
    bool saving = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    FILETIME started, exited, kernel, user;
    if (saving && ::GetProcessTimes(process, &started, &exited, &kernel, &user) &&
        TimeOf(started) > made) {
        saving = false;
    }
    ::CloseHandle(process);
    return saving;
}

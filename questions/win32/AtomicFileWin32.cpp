#include "questions/AtomicFile.h"

#include "questions/FileSystem.h"
#include "questions/TemporaryName.h"
#include "questions/win32/LongPath.h"
#include "utility/win32/Utf16.h"
#include "utility/win32/Wine.h"

#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>
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

// Whether the process with this id may still be writing a temporary file made
// at `made`. Windows hands ids out again soon: a process that started after the
// file was made is another program.
bool IsSaving(DWORD pid, const FILETIME& made) {
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return ::GetLastError() == ERROR_ACCESS_DENIED; // it runs, under another user
    }
    bool saving = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    FILETIME started, exited, kernel, user;
    if (saving && ::GetProcessTimes(process, &started, &exited, &kernel, &user) &&
        ::CompareFileTime(&started, &made) > 0) {
        saving = false;
    }
    ::CloseHandle(process);
    return saving;
}

AtomicFile::FaultHook s_faultHook = nullptr;

void Reached(AtomicFile::Moment moment) {
    if (s_faultHook != nullptr) {
        s_faultHook(moment);
    }
}

bool WriteAllTo(HANDLE file, const char* data, std::size_t size) {
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < kPiece ? size : kPiece);
        DWORD done = 0;
        if (!::WriteFile(file, data, piece, &done, nullptr)) {
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

bool Reserve(HANDLE file, const std::wstring& folder, std::uint64_t size, std::uint64_t current) {
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) {
        return false;
    }
    // A file system that cannot reserve (Wine's): the free space must cover
    // the growth at least.
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < size - current) {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

// Writes `content` over the file from its start and cuts it there; on disk
// when it returns true. The reservation leaves the file's size as it is.
bool Rewrite(HANDLE file, const std::wstring& folder, const std::string& content) {
    LARGE_INTEGER current{};
    if (!::GetFileSizeEx(file, &current)) {
        return false;
    }
    const std::uint64_t size = content.size();
    const auto had = static_cast<std::uint64_t>(current.QuadPart);
    // A write that could not finish must not start. (A smaller reservation
    // than the file would cut it, so only growth is reserved.)
    if (size > had && !Reserve(file, folder, size, had)) {
        return false;
    }
    Reached(AtomicFile::Moment::kReserved);
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        return false;
    }
    const std::size_t half = content.size() / 2;
    if (!WriteAllTo(file, content.data(), half)) {
        return false;
    }
    Reached(AtomicFile::Moment::kHalfWritten);
    if (!WriteAllTo(file, content.data() + half, content.size() - half) || !::SetEndOfFile(file)) {
        return false;
    }
    Reached(AtomicFile::Moment::kWritten);
    return ::FlushFileBuffers(file) != 0;
}

bool ReadWhole(const std::wstring& path, std::string& content) {
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

// Whether `path` names the file described by `info`.
bool IsSameFile(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION other{};
    const bool same = ::GetFileInformationByHandle(file, &other) &&
                      other.dwVolumeSerialNumber == info.dwVolumeSerialNumber &&
                      other.nFileIndexHigh == info.nFileIndexHigh &&
                      other.nFileIndexLow == info.nFileIndexLow;
    ::CloseHandle(file);
    return same;
}

// The path a save writes: a file with one name is reached through its links.
std::wstring TargetOf(const std::wstring& path, HANDLE probe, bool oneName) {
    std::wstring final = oneName ? LongPath::FinalOf(probe) : L"";
    return final.empty() ? path : final;
}

} // namespace

class AtomicFile::Impl {
public:
    explicit Impl(const std::string& path);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    bool Write(const char* data, std::size_t size);
    bool Commit();
    const FileStamp& Stamp() const { return m_stamp; }
    DWORD Error() const { return m_error; }

private:
    HANDLE OpenTemporary(std::wstring& name) const;
    bool OpenInPlace(bool existing);
    void Fail(DWORD error);
    void WriteAll(const char* data, std::size_t size);
    bool WriteCopy();
    bool WritePendingInPlace();
    bool PinWriteTime();
    bool MoveIn();
    bool PutInPlace();
    void Discard();
    void RemoveLeftovers() const;

    std::wstring m_target;
    std::wstring m_temporary;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    bool m_failed = false;
    bool m_committed = false;
    bool m_created = false;
    bool m_existed = false;
    DWORD m_attributes = 0;  // the replaced file's, to carry over
    DWORD m_error = 0;       // of the first step that failed
    bool m_withCopy = false; // in place, with the new content beside it first
    std::wstring m_copy;     // that copy, once complete
    std::string m_pending;   // the content of an in-place write, until Commit
    FileStamp m_stamp;
};

AtomicFile::AtomicFile(const std::string& path) : m_impl(std::make_unique<Impl>(path)) {}

AtomicFile::~AtomicFile() = default;

bool AtomicFile::Write(const char* data, std::size_t size) {
    return m_impl->Write(data, size);
}

bool AtomicFile::Commit() {
    return m_impl->Commit();
}

const FileStamp& AtomicFile::Stamp() const {
    return m_impl->Stamp();
}

std::string AtomicFile::FailureReason() const {
    return FileSystem::ReasonOf(m_impl->Error() != 0 ? m_impl->Error() : ERROR_GEN_FAILURE);
}

void AtomicFile::SetFaultHook(FaultHook hook) {
    s_faultHook = hook;
}

AtomicFile::Impl::Impl(const std::string& path) : m_target(LongPath::Of(path)) {
    if (m_target.empty()) {
        Fail(ERROR_INVALID_NAME);
        return;
    }
    const DWORD own = ::GetFileAttributesW(m_target.c_str()); // of a link, not its target
    const HANDLE probe = ::CreateFileW(m_target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        // A new file: written beside, then moved in, or else created directly.
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            Fail(error);
        } else if ((m_file = OpenTemporary(m_temporary)) == INVALID_HANDLE_VALUE &&
                   !OpenInPlace(false)) {
            Fail(::GetLastError());
        }
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(probe, &info) != 0;
    const DWORD probeError = ::GetLastError();
    // Save through a symbolic link into its target; the link itself stays.
    // Asked of every file, as Wine shows a Unix link as a plain one.
    const std::wstring final = TargetOf(m_target, probe, known && info.nNumberOfLinks == 1);
    const bool throughLink = final == m_target && own != INVALID_FILE_ATTRIBUTES &&
                             (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    m_target = final;
    ::CloseHandle(probe);
    if (!known) {
        Fail(probeError);
        return;
    }
    if (!FileSystem::IsWritable(path)) {
        const DWORD attributes = ::GetFileAttributesW(m_target.c_str());
        Fail(attributes == INVALID_FILE_ATTRIBUTES          ? ::GetLastError()
             : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_DIRECTORY
                                                            : ERROR_ACCESS_DENIED);
        return;
    }
    m_existed = true;
    m_attributes = info.dwFileAttributes & kCarriedAttributes;
    // Replacing a hard-linked file by a new one would split the links.
    m_withCopy = info.nNumberOfLinks > 1;
    if (!throughLink && !m_withCopy) {
        m_file = OpenTemporary(m_temporary);
    }
    if (m_file == INVALID_HANDLE_VALUE && !OpenInPlace(true)) {
        Fail(::GetLastError());
    }
}

AtomicFile::Impl::~Impl() {
    if (!m_committed) {
        Discard();
    }
}

HANDLE AtomicFile::Impl::OpenTemporary(std::wstring& made) const {
    const std::wstring folder = LongPath::FolderOf(m_target) + L"\\";
    const std::wstring fileName = LongPath::NameOf(m_target);
    std::random_device random;
    std::uniform_int_distribution<std::size_t> letter(0, kRandomLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring letters;
        for (std::size_t i = 0; i < temporaryname::kRandomLength; ++i) {
            letters += kRandomLetters[letter(random)];
        }
        std::wstring name =
            folder + temporaryname::Make<wchar_t>(fileName, ::GetCurrentProcessId(), letters);
        // Shared with nobody while it is written, and made with the attributes
        // it is to have, so that a save cut short after the move has them too.
        const HANDLE file =
            ::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                          CREATE_NEW, m_attributes | FILE_ATTRIBUTE_ARCHIVE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            made = std::move(name);
            return file;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool AtomicFile::Impl::OpenInPlace(bool existing) {
    // Not truncated now: the old content stays until the new one is written.
    const bool opened = Retried(
        [&] {
            m_file = ::CreateFileW(m_target.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ, nullptr, existing ? OPEN_EXISTING : CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            return m_file != INVALID_HANDLE_VALUE;
        },
        IsBusy);
    m_created = opened && !existing;
    return opened;
}

void AtomicFile::Impl::Fail(DWORD error) {
    m_failed = true;
    if (m_error == 0) {
        m_error = error;
    }
}

void AtomicFile::Impl::Discard() {
    if (!m_copy.empty()) {
        ::DeleteFileW(m_copy.c_str());
        m_copy.clear();
    }
    if (m_file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    if (!m_temporary.empty()) {
        Retried([&] { return ::DeleteFileW(m_temporary.c_str()) != 0; }, IsBusy);
        m_temporary.clear();
    }
    if (m_created) {
        // A file this save created and could not finish is not left behind.
        Retried([&] { return ::DeleteFileW(m_target.c_str()) != 0; }, IsBusy);
        m_created = false;
    }
}

bool AtomicFile::Impl::Write(const char* data, std::size_t size) {
    if (m_failed) {
        return false;
    }
    if (m_temporary.empty()) {
        // In place, the file is not touched before the whole content is known
        // and room for it is reserved: a full disk then fails before the first
        // byte is overwritten.
        m_pending.append(data, size);
        return true;
    }
    WriteAll(data, size);
    return !m_failed;
}

void AtomicFile::Impl::WriteAll(const char* data, std::size_t size) {
    if (!m_failed && !WriteAllTo(m_file, data, size)) {
        Fail(::GetLastError());
    }
}

bool AtomicFile::Impl::WriteCopy() {
    // Complete and on disk under a name of its own before the file is touched:
    // a ".copy" is always whole.
    std::wstring written;
    const HANDLE file = OpenTemporary(written);
    if (file == INVALID_HANDLE_VALUE) {
        return true; // no room beside the file: written in place as it is
    }
    const std::size_t half = m_pending.size() / 2;
    bool ok = WriteAllTo(file, m_pending.data(), half);
    if (ok) {
        Reached(AtomicFile::Moment::kCopyHalfWritten);
        ok = WriteAllTo(file, m_pending.data() + half, m_pending.size() - half) &&
             ::FlushFileBuffers(file);
    }
    DWORD error = ok ? 0 : ::GetLastError();
    ::CloseHandle(file);
    std::wstring copy =
        written.substr(0, written.size() - temporaryname::Suffix<wchar_t>().size()) +
        temporaryname::CopySuffix<wchar_t>();
    if (ok && !::MoveFileExW(written.c_str(), copy.c_str(), MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(written.c_str());
        Fail(error);
        return false;
    }
    m_copy = std::move(copy);
    Reached(AtomicFile::Moment::kCopyReady);
    return true;
}

bool AtomicFile::Impl::WritePendingInPlace() {
    if (m_withCopy && !WriteCopy()) {
        return false;
    }
    // An error past the reservation (an I/O error) can leave the file part
    // new, part old. The copy goes all the same: its raises are still this
    // process's to save, and put back they would count twice.
    if (!Rewrite(m_file, LongPath::FolderOf(m_target), m_pending)) {
        Fail(::GetLastError());
        return false;
    }
    m_pending.clear();
    m_pending.shrink_to_fit();
    return true;
}

bool AtomicFile::Impl::PinWriteTime() {
    // A time set on the handle is the one the file keeps: a file system that
    // would stamp the close, or the writes, later then cannot make the stamp
    // below differ from the file's.
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return ::SetFileTime(m_file, nullptr, nullptr, &now) != 0;
}

bool AtomicFile::Impl::MoveIn() {
    return Retried(
        [&] {
            return ::MoveFileExW(m_temporary.c_str(), m_target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        IsBusyTarget);
}

bool AtomicFile::Impl::PutInPlace() {
    if (!m_existed) {
        return MoveIn();
    }
    if (RunsOnWine()) {
        if (!MoveIn()) {
            return false;
        }
    } else if (!Retried(
                   [&] {
                       // Keeps the replaced file's creation time, DACL, short
                       // name and streams, and merges its attributes.
                       return ::ReplaceFileW(m_target.c_str(), m_temporary.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                             nullptr) != 0;
                   },
                   IsBusyTarget)) {
        const bool gone = ::GetFileAttributesW(m_target.c_str()) == INVALID_FILE_ATTRIBUTES &&
                          ::GetLastError() == ERROR_FILE_NOT_FOUND;
        if (!gone) {
            return false;
        }
        // ERROR_UNABLE_TO_MOVE_REPLACEMENT: the old file is already gone. The
        // new content, complete on disk, takes its place; if even that fails,
        // it is the only copy and stays where it is.
        if (!MoveIn()) {
            m_temporary.clear();
            return false;
        }
    }
    m_temporary.clear();
    ::SetFileAttributesW(m_target.c_str(), m_attributes | FILE_ATTRIBUTE_ARCHIVE);
    return true;
}

bool AtomicFile::Impl::Commit() {
    if (m_committed) {
        return true;
    }
    if (m_failed || m_file == INVALID_HANDLE_VALUE) {
        Discard();
        return false;
    }
    bool ok = m_temporary.empty() ? WritePendingInPlace() : true;
    ok = ok && PinWriteTime() && ::FlushFileBuffers(m_file);
    // The file as it will stand: the replace keeps what makes up the stamp
    // ("The resulting file has the same file ID as the replacement file").
    m_stamp = ok ? FileSystem::StampOfHandle(reinterpret_cast<std::intptr_t>(m_file)) : FileStamp{};
    ok = ::CloseHandle(m_file) && ok;
    m_file = INVALID_HANDLE_VALUE;
    if (!ok) {
        Fail(::GetLastError());
    }
    if (ok && !m_temporary.empty()) {
        ok = PutInPlace();
        if (!ok) {
            DWORD error = ::GetLastError();
            // A replace over a file that another program has open is refused
            // as access denied.
            if (error == ERROR_ACCESS_DENIED && FileSystem::IsWritable(Utf16::ToUtf8(m_target))) {
                error = ERROR_SHARING_VIOLATION;
            }
            Fail(error);
        }
    }
    if (!ok) {
        Discard();
        return false;
    }
    Reached(AtomicFile::Moment::kSynced);
    if (!m_copy.empty()) {
        ::DeleteFileW(m_copy.c_str()); // the file holds it now
        m_copy.clear();
    }
    m_committed = true;
    m_created = false;
    RemoveLeftovers();
    return true;
}

void AtomicFile::Impl::RemoveLeftovers() const {
    // What saves of this file left when they were killed. A process that
    // still runs may be writing its file right now: that one stays.
    const std::wstring folder = LongPath::FolderOf(m_target);
    const std::wstring fileName = LongPath::NameOf(m_target);
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = ::FindFirstFileExW(
        (folder + L"\\" + temporaryname::Prefix<wchar_t>(fileName) + L"*").c_str(), FindExInfoBasic,
        &entry, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::optional<unsigned long long> pid =
            temporaryname::SaverOf<wchar_t>(entry.cFileName, fileName);
        // Only a plain file: no folder, and nothing a learner protected.
        constexpr DWORD kNotOurs =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
        if (pid && *pid <= MAXDWORD && (entry.dwFileAttributes & kNotOurs) == 0 &&
            !IsSaving(static_cast<DWORD>(*pid), entry.ftCreationTime)) {
            ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
        }
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
}

void AtomicFile::RepairInterrupted(const std::string& path) {
    std::wstring target = LongPath::Of(path);
    if (target.empty()) {
        return;
    }
    const HANDLE probe = ::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return; // a file that is gone stays gone
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(probe, &info) != 0;
    target = TargetOf(target, probe, known && info.nNumberOfLinks == 1);
    ::CloseHandle(probe);
    const std::wstring folder = LongPath::FolderOf(target);
    const std::wstring fileName = LongPath::NameOf(target);
    // The copies of saves that ended before they finished; the newest holds
    // the last content any of them meant to write.
    std::vector<std::wstring> copies;
    std::wstring newest;
    FILETIME newestTime{};
    WIN32_FIND_DATAW entry{};
    const HANDLE listing =
        ::FindFirstFileExW((folder + L"\\.*" + temporaryname::CopySuffix<wchar_t>()).c_str(),
                           FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        // A copy of this file under any of its names in this folder.
        const std::optional<std::wstring> copied =
            temporaryname::CopiedNameOf<wchar_t>(entry.cFileName);
        if (!copied || (*copied != fileName && !IsSameFile(folder + L"\\" + *copied, info))) {
            continue;
        }
        const std::optional<unsigned long long> pid = temporaryname::SaverOf<wchar_t>(
            entry.cFileName, *copied, temporaryname::CopySuffix<wchar_t>());
        constexpr DWORD kNotOurs =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
        if (!pid || *pid > MAXDWORD || (entry.dwFileAttributes & kNotOurs) != 0 ||
            IsSaving(static_cast<DWORD>(*pid), entry.ftCreationTime)) {
            continue;
        }
        std::wstring copy = folder + L"\\" + entry.cFileName;
        if (newest.empty() || ::CompareFileTime(&entry.ftLastWriteTime, &newestTime) > 0 ||
            (::CompareFileTime(&entry.ftLastWriteTime, &newestTime) == 0 && copy > newest)) {
            newest = copy;
            newestTime = entry.ftLastWriteTime;
        }
        copies.push_back(std::move(copy));
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    if (copies.empty()) {
        return;
    }
    std::string content, current;
    if (!ReadWhole(newest, content)) {
        return;
    }
    if (!ReadWhole(target, current) || current != content) {
        const HANDLE file =
            ::CreateFileW(target.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return;
        }
        const bool ok = Rewrite(file, folder, content);
        if (!::CloseHandle(file) || !ok) {
            return; // the copies stay for the next try
        }
    }
    for (const std::wstring& copy : copies) {
        ::DeleteFileW(copy.c_str());
    }
}

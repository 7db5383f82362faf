#include "questions/AtomicFile.h"

#include "questions/FileSystem.h"
#include "questions/SaveCalls.h"
#include "questions/TemporaryName.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Char = SaveCalls::Char;
using Path = SaveCalls::Path;
using Handle = SaveCalls::Handle;

// A piece this large is sent to the disk while the caller composes the next.
constexpr std::uint64_t kEarlyWriteback = 1 << 18;

AtomicFile::FaultHook s_faultHook = nullptr;

void Reached(AtomicFile::Moment moment) {
    if (s_faultHook != nullptr) {
        s_faultHook(moment);
    }
}

// Writes `content` over the file from its start and cuts it there; on disk
// when it returns true. Room is reserved first: a write that could not finish
// must not start.
bool Rewrite(Handle file, const Path& target, const std::string& content) {
    if (!SaveCalls::Reserve(file, target, content.size())) {
        return false;
    }
    Reached(AtomicFile::Moment::kReserved);
    const std::size_t half = content.size() / 2;
    if (!SaveCalls::Rewind(file) || !SaveCalls::Write(file, content.data(), half)) {
        return false;
    }
    Reached(AtomicFile::Moment::kHalfWritten);
    if (!SaveCalls::Write(file, content.data() + half, content.size() - half) ||
        !SaveCalls::CutAt(file, content.size())) {
        return false;
    }
    Reached(AtomicFile::Moment::kWritten);
    return SaveCalls::PinWriteTime(file) && SaveCalls::Sync(file);
}

// The name a complete copy takes once it is on disk.
Path CopyNameOf(const Path& temporary) {
    return temporary.substr(0, temporary.size() - temporaryname::Suffix<Char>().size()) +
           temporaryname::CopySuffix<Char>();
}

// The copies that saves of `target` left when they ended before they finished,
// under any of the file's names in its folder; the newest first.
std::vector<Path> CopiesOf(const Path& target) {
    const Path folder = SaveCalls::FolderOf(target);
    const Path fileName = SaveCalls::NameOf(target);
    const auto wanted = [&](const Path& name) {
        const std::optional<Path> copied = temporaryname::CopiedNameOf<Char>(name);
        return copied && (*copied == fileName ||
                          SaveCalls::SameFile(SaveCalls::Join(folder, *copied), target));
    };
    std::vector<Path> copies;
    std::int64_t newestTime = 0;
    for (const SaveCalls::Entry& entry :
         SaveCalls::OwnFiles(folder, temporaryname::Widen<Char>("."), wanted)) {
        const std::optional<unsigned long long> pid =
            temporaryname::SaverOf<Char>(entry.name, *temporaryname::CopiedNameOf<Char>(entry.name),
                                         temporaryname::CopySuffix<Char>());
        if (SaveCalls::MayStillSave(*pid, entry.made)) {
            continue;
        }
        copies.push_back(SaveCalls::Join(folder, entry.name));
        // The newest holds the last content any of them meant to write.
        if (copies.size() == 1 || entry.written > newestTime ||
            (entry.written == newestTime && copies.back() > copies.front())) {
            std::swap(copies.front(), copies.back());
            newestTime = entry.written;
        }
    }
    return copies;
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
    SaveCalls::Error Error() const { return m_error; }

private:
    void OpenNew();
    bool OpenInPlace(bool existing);
    bool Step(bool ok);
    void Fail(SaveCalls::Error error);
    bool Finish();
    bool WriteCopy();
    bool WritePendingInPlace();
    bool PutInPlace();
    void Discard();
    void RemoveLeftovers() const;

    Path m_target;
    Path m_temporary;
    Handle m_file = SaveCalls::kNoHandle;
    bool m_failed = false;
    bool m_committed = false;
    bool m_created = false;
    bool m_existed = false;
    SaveCalls::Error m_error = 0; // of the first step that failed
    SaveCalls::Kept m_kept;
    bool m_withCopy = false; // in place, with the new content beside it first
    Path m_copy;             // that copy, once complete
    std::uint64_t m_written = 0;
    std::string m_pending; // the content of an in-place write, until Commit
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
    const SaveCalls::Error error = m_impl->Error();
    return FileSystem::ReasonOf(error != 0 ? error : SaveCalls::kGeneralFailure);
}

void AtomicFile::SetFaultHook(FaultHook hook) {
    s_faultHook = hook;
}

AtomicFile::Impl::Impl(const std::string& path) {
    SaveCalls::Target target = SaveCalls::Examine(path);
    m_target = std::move(target.path);
    if (target.error != 0) {
        Fail(target.error);
        return;
    }
    if (!target.exists) {
        OpenNew();
        return;
    }
    m_existed = true;
    m_kept = target.kept;
    // Replacing a hard-linked file by a new one would split the links.
    m_withCopy = target.links > 1;
    if (!target.inPlaceOnly && !m_withCopy) {
        m_file = SaveCalls::CreateTemporary(m_target, m_kept, m_temporary);
    }
    if (m_file == SaveCalls::kNoHandle && !OpenInPlace(true)) {
        Fail(SaveCalls::LastError());
    }
}

AtomicFile::Impl::~Impl() {
    if (!m_committed) {
        Discard();
    }
}

void AtomicFile::Impl::OpenNew() {
    if (SaveCalls::kNewFileBeside) {
        m_file = SaveCalls::CreateTemporary(m_target, m_kept, m_temporary);
    }
    // Else there is nothing to lose by creating it directly.
    if (m_file == SaveCalls::kNoHandle && !OpenInPlace(false)) {
        Fail(SaveCalls::LastError());
    }
}

bool AtomicFile::Impl::OpenInPlace(bool existing) {
    m_file = SaveCalls::OpenInPlace(m_target, existing);
    m_created = m_file != SaveCalls::kNoHandle && !existing;
    return m_file != SaveCalls::kNoHandle;
}

bool AtomicFile::Impl::Step(bool ok) {
    if (!ok) {
        Fail(SaveCalls::LastError());
    }
    return ok;
}

void AtomicFile::Impl::Fail(SaveCalls::Error error) {
    m_failed = true;
    if (m_error == 0) {
        m_error = error;
    }
}

void AtomicFile::Impl::Discard() {
    if (!m_copy.empty()) {
        SaveCalls::Remove(m_copy);
        m_copy.clear();
    }
    if (m_file != SaveCalls::kNoHandle) {
        SaveCalls::Close(m_file);
        m_file = SaveCalls::kNoHandle;
    }
    if (!m_temporary.empty()) {
        SaveCalls::Remove(m_temporary, true);
        m_temporary.clear();
    }
    if (m_created) {
        // A file this save created and could not finish is not left behind.
        SaveCalls::Remove(m_target, true);
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
    if (!Step(SaveCalls::Write(m_file, data, size))) {
        return false;
    }
    m_written += size;
    if (size >= kEarlyWriteback) {
        // The sync at the end then has little left to wait for.
        SaveCalls::StartWriteback(m_file, m_written - size, size);
    }
    return true;
}

bool AtomicFile::Impl::WriteCopy() {
    // Complete and on disk under a name of its own before the file is touched:
    // a ".copy" is always whole.
    Path written;
    const Handle file = SaveCalls::CreateTemporary(m_target, m_kept, written);
    if (file == SaveCalls::kNoHandle) {
        return true; // no room beside the file: written in place as it is
    }
    const std::size_t half = m_pending.size() / 2;
    bool ok = SaveCalls::Write(file, m_pending.data(), half);
    if (ok) {
        Reached(AtomicFile::Moment::kCopyHalfWritten);
        ok = SaveCalls::Write(file, m_pending.data() + half, m_pending.size() - half) &&
             SaveCalls::Sync(file);
    }
    SaveCalls::Error error = ok ? 0 : SaveCalls::LastError();
    if (!SaveCalls::Close(file) && ok) {
        ok = false;
        error = SaveCalls::LastError();
    }
    const Path copy = CopyNameOf(written);
    if (ok && !SaveCalls::Rename(written, copy)) {
        ok = false;
        error = SaveCalls::LastError();
    }
    if (!ok) {
        SaveCalls::Remove(written);
        Fail(error);
        return false;
    }
    m_copy = copy;
    SaveCalls::SyncFolder(m_target);
    Reached(AtomicFile::Moment::kCopyReady);
    return true;
}

bool AtomicFile::Impl::WritePendingInPlace() {
    // A write that could not finish must not start: the process's file-size
    // limit is known now, and the disk space is reserved before the first
    // byte is overwritten.
    if (const SaveCalls::Error error = SaveCalls::WhyTooLarge(m_pending.size()); error != 0) {
        Fail(error);
        return false;
    }
    if (m_withCopy && !WriteCopy()) {
        return false;
    }
    // An error past the reservation (an I/O error) can leave the file part
    // new, part old. The copy goes all the same: its raises are still this
    // process's to save, and put back they would count twice.
    if (!Step(Rewrite(m_file, m_target, m_pending))) {
        return false;
    }
    m_pending.clear();
    m_pending.shrink_to_fit();
    return true;
}

bool AtomicFile::Impl::Finish() {
    bool ok = m_temporary.empty()
                  ? WritePendingInPlace()
                  : Step(SaveCalls::KeepMode(m_file, m_kept) && SaveCalls::PinWriteTime(m_file) &&
                         SaveCalls::Sync(m_file));
    // The file as it will stand: a rename or a replace keeps what makes up the
    // stamp ("The resulting file has the same file ID as the replacement file").
    m_stamp = ok ? FileSystem::StampOfHandle(m_file) : FileStamp{};
    ok = Step(SaveCalls::Close(m_file)) && ok;
    m_file = SaveCalls::kNoHandle;
    return ok && (m_temporary.empty() || PutInPlace());
}

bool AtomicFile::Impl::PutInPlace() {
    switch (SaveCalls::Replace(m_temporary, m_target, m_existed, m_kept)) {
    case SaveCalls::Replaced::kYes:
        m_temporary.clear();
        SaveCalls::SyncFolder(m_target);
        return true;
    case SaveCalls::Replaced::kNoAndOnlyCopy:
        // The old file is gone and the new content, complete on disk, could
        // not take its place: it stays where it is.
        Fail(SaveCalls::LastError());
        m_temporary.clear();
        return false;
    case SaveCalls::Replaced::kNo:
        break;
    }
    Fail(SaveCalls::LastError());
    return false;
}

bool AtomicFile::Impl::Commit() {
    if (m_committed) {
        return true;
    }
    if (m_failed || m_file == SaveCalls::kNoHandle || !Finish()) {
        m_failed = true;
        Discard();
        return false;
    }
    Reached(AtomicFile::Moment::kSynced);
    if (!m_copy.empty()) {
        SaveCalls::Remove(m_copy); // the file holds it now
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
    const Path folder = SaveCalls::FolderOf(m_target);
    const Path fileName = SaveCalls::NameOf(m_target);
    const auto wanted = [&](const Path& name) {
        return temporaryname::SaverOf<Char>(name, fileName).has_value();
    };
    for (const SaveCalls::Entry& entry :
         SaveCalls::OwnFiles(folder, temporaryname::Prefix<Char>(fileName), wanted)) {
        if (!SaveCalls::MayStillSave(*temporaryname::SaverOf<Char>(entry.name, fileName),
                                     entry.made)) {
            SaveCalls::Remove(SaveCalls::Join(folder, entry.name));
        }
    }
}

void AtomicFile::RepairInterrupted(const std::string& path) {
    const Path target = SaveCalls::Resolve(path);
    if (target.empty()) {
        return; // a file that is gone stays gone
    }
    const std::vector<Path> copies = CopiesOf(target);
    std::string content, current;
    if (copies.empty() || !SaveCalls::ReadWhole(copies.front(), content)) {
        return;
    }
    if (!SaveCalls::ReadWhole(target, current) || current != content) {
        // Not created anew: a file that is gone stays gone.
        const Handle file = SaveCalls::OpenInPlace(target, true);
        if (file == SaveCalls::kNoHandle) {
            return;
        }
        const bool ok = Rewrite(file, target, content);
        if (!SaveCalls::Close(file) || !ok) {
            return; // the copies stay for the next try
        }
    }
    for (const Path& copy : copies) {
        SaveCalls::Remove(copy);
    }
}

// Saving on Windows: any file name at any length, the read-only attribute, a
// file another program holds open, hard links, and what a replace keeps. Every
// check reads the file through the Windows API itself, not the code under test.
#include "questions/AtomicFile.h"
#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "res/Strings.h"
#include "tests/TestSupport.h"
#include "tests/support/KillLoop.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;
using namespace testsupport;
using Names = std::set<std::string>;

namespace {

const std::string kSaveFailed = std::string(strings::kSaveFailed) + "\n";

// The "\\?\" form of an absolute path, which the test's own reads and writes
// need beyond 260 characters.
fs::path Long(const fs::path& absolute) {
    return L"\\\\?\\" + absolute.wstring();
}

// The names in a folder, by FindFirstFileW: libstdc++'s directory listing
// cannot take a path of over 260 characters.
Names NamesInLong(const fs::path& folder) {
    Names names;
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = FindFirstFileW((Long(folder) / L"*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (entry.cFileName != std::wstring(L".") && entry.cFileName != std::wstring(L"..")) {
            names.insert(Utf8Of(entry.cFileName));
        }
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
    return names;
}

BY_HANDLE_FILE_INFORMATION InfoOf(const fs::path& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    const HANDLE file = CreateFileW(Long(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return info;
}

std::uint64_t Join(DWORD high, DWORD low) {
    return static_cast<std::uint64_t>(high) << 32 | low;
}

void RaiseAll(QuestionSet& set) {
    for (std::size_t i = 0; i < set.Size(); ++i) {
        set.At(i)->AddCorrect();
    }
}

TEST(SaveOnWindows, AnyNameAtAnyLength) {
    TempDir dir;
    fs::path deep = dir.Path() / "deep";
    for (int i = 0; i < 12; ++i) {
        deep /= L"folder-of-a-deep-tree-" + std::to_wstring(i);
    }
    const struct {
        const char* what;
        fs::path folder;
        const wchar_t* name;
    } cases[] = {
        {"Japanese name", dir.Path() / "ja", L"単語帳.krb"},
        {"Korean name", dir.Path() / "ko", L"한국어.krb"},
        {"path of over 260 characters", deep, L"長い道のり.krb"},
    };
    ASSERT_GT(deep.wstring().size(), 260u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(fs::create_directories(Long(c.folder)));
        const fs::path file = c.folder / c.name;
        WriteBytes(Long(file), Cp932("単語 たんご 0\r\n") + "q a 5\r\n");
        // The plain path, as the open dialog gives it.
        auto set = QuestionSetFile::Load(Utf8Of(file));
        ASSERT_EQ(set->Records().Size(), 2u);
        set->Records().At(0)->AddCorrect();
        set->Save();
        EXPECT_EQ(ReadBytes(Long(file)), Cp932("単語 たんご 1\r\n") + "q a 5\r\n");
        EXPECT_EQ(QuestionSetFile::Load(Utf8Of(file))->Records().At(0)->GetCorrectCount(), 1);
        EXPECT_EQ(NamesInLong(c.folder), Names{Utf8Of(c.name)});
    }
}

// A save that cannot replace the file fails, leaves it and its folder as they
// were, and succeeds once the obstacle is gone. Hard-linked files are written
// in place, by another path through the code.
TEST(SaveOnWindows, ReadOnlyOrHeldOpenFailsAndKeepsTheFile) {
    enum Obstacle { kReadOnly, kHeldOpen };
    const struct {
        const char* what;
        Obstacle obstacle;
        bool linked;
        bool writable;      // what the window is told at open
        const char* reason; // the failed save's second line
    } cases[] = {
        {"read-only attribute", kReadOnly, false, false, strings::kReasonNotAllowed},
        {"read-only attribute, hard-linked", kReadOnly, true, false, strings::kReasonNotAllowed},
        {"held open without sharing", kHeldOpen, false, true, strings::kReasonHeld},
        {"held open without sharing, hard-linked", kHeldOpen, true, true, strings::kReasonHeld},
    };
    // Longer once raised: in place, the room for the growth is checked first.
    const std::string original = "q a 9\r\nr b 99\r\n", raised = "q a 10\r\nr b 100\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path file = dir.Path() / "set.krb", twin = dir.Path() / "twin.krb";
        WriteBytes(file, original);
        Names names{"set.krb"};
        if (c.linked) {
            ASSERT_TRUE(CreateHardLinkW(twin.c_str(), file.c_str(), nullptr));
            names.insert("twin.krb");
        }
        auto set = QuestionSetFile::Load(Utf8Of(file));
        RaiseAll(set->Records());

        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.obstacle == kReadOnly) {
            ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
            EXPECT_FALSE(QuestionSetFile::Load(Utf8Of(file))->IsWritable());
        } else {
            holder = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
            // A stamp, which every save takes first, works on a held file.
            const FileStamp stamp = FileSystem::StampOf(Utf8Of(file));
            EXPECT_TRUE(stamp.valid);
            EXPECT_EQ(stamp.size, original.size());
        }
        EXPECT_EQ(FileSystem::IsWritable(Utf8Of(file)), c.writable);
        EXPECT_EQ(MessageOf<CpException>([&] { set->Save(); }),
                  kSaveFailed + "  -" + c.reason + "\n");
        EXPECT_EQ(NamesIn(dir.Path()), names);

        if (c.obstacle == kReadOnly) {
            EXPECT_EQ(ReadBytes(file), original);
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else {
            CloseHandle(holder);
        }
        EXPECT_EQ(ReadBytes(file), original);
        set->Save(); // the raises are still to be saved
        EXPECT_EQ(ReadBytes(file), raised);
        if (c.linked) {
            EXPECT_EQ(ReadBytes(twin), raised);
        }
        EXPECT_EQ(NamesIn(dir.Path()), names);
    }
}

TEST(SaveOnWindows, AttributesStayAndArchiveTellsOfTheChange) {
    const struct {
        const char* what;
        DWORD before;
    } cases[] = {
        {"hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"system", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
        {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"archive cleared by a backup", FILE_ATTRIBUTE_NORMAL},
    };
    constexpr DWORD kSeen = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_READONLY;
    TempDir dir;
    const fs::path file = dir.Path() / "set.krb";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(file, "q a 1\r\n");
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.before));
        LoadRaiseAllSave(file);
        EXPECT_EQ(ReadBytes(file), "q a 2\r\n");
        EXPECT_EQ(GetFileAttributesW(file.c_str()) & kSeen,
                  (c.before & kSeen) | FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_EQ(NamesIn(dir.Path()), Names{"set.krb"});
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// The stamp a save hands back is the file as it stands, or the next save would
// take the learner's own file for one changed by another program. A replaced
// file is a new one: "The resulting file has the same file ID as the
// replacement file", Microsoft writes, and under Wine the rename keeps the new
// file's inode alike. A hard-linked file is written in place and keeps its id.
TEST(SaveOnWindows, StampIsTheFileAsSavedAndIdentityAsDocumented) {
    const struct {
        const char* what;
        bool linked;
    } cases[] = {{"replaced", false}, {"hard-linked, written in place", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path file = dir.Path() / "set.krb", twin = dir.Path() / "twin.krb";
        WriteBytes(file, "old content\r\n");
        if (c.linked) {
            ASSERT_TRUE(CreateHardLinkW(twin.c_str(), file.c_str(), nullptr));
        }
        const BY_HANDLE_FILE_INFORMATION before = InfoOf(file);
        AtomicFile saved(Utf8Of(file));
        const std::string content = "new\r\n";
        ASSERT_TRUE(saved.Write(content.data(), content.size()));
        ASSERT_TRUE(saved.Commit());
        const BY_HANDLE_FILE_INFORMATION after = InfoOf(file);
        const FileStamp& stamp = saved.Stamp();
        EXPECT_TRUE(stamp.valid);
        EXPECT_EQ(stamp.device, after.dwVolumeSerialNumber);
        EXPECT_EQ(stamp.file, Join(after.nFileIndexHigh, after.nFileIndexLow));
        EXPECT_EQ(stamp.size, content.size());
        EXPECT_EQ(stamp.size, Join(after.nFileSizeHigh, after.nFileSizeLow));
        EXPECT_EQ(stamp.modified,
                  static_cast<std::int64_t>(Join(after.ftLastWriteTime.dwHighDateTime,
                                                 after.ftLastWriteTime.dwLowDateTime)));
        const bool sameId = Join(before.nFileIndexHigh, before.nFileIndexLow) ==
                            Join(after.nFileIndexHigh, after.nFileIndexLow);
        EXPECT_EQ(sameId, c.linked);
        EXPECT_EQ(after.nNumberOfLinks, c.linked ? 2u : 1u);
        EXPECT_EQ(ReadBytes(file), content);
        if (c.linked) {
            EXPECT_EQ(ReadBytes(twin), content);
        }
    }
}

// ReplaceFile keeps "Creation time" among what it carries over. Wine on Linux
// can store no creation time at all, so there it cannot be checked.
TEST(SaveOnWindows, KeepsTheCreationTime) {
    TempDir dir;
    const fs::path file = dir.Path() / "set.krb";
    WriteBytes(file, "q a 1\r\n");
    const FILETIME old{0xccfe0000, 0x01c0ea2d}; // 2001-06-01
    const HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    SetFileTime(handle, &old, nullptr, nullptr);
    CloseHandle(handle);
    const FILETIME set = InfoOf(file).ftCreationTime;
    if (CompareFileTime(&set, &old) != 0) {
        GTEST_SKIP() << "this file system keeps no creation time that a program sets (Wine)";
    }
    LoadRaiseAllSave(file);
    EXPECT_EQ(ReadBytes(file), "q a 2\r\n");
    const FILETIME kept = InfoOf(file).ftCreationTime;
    EXPECT_EQ(CompareFileTime(&kept, &old), 0);
}

} // namespace

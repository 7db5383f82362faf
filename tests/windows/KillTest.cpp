// Saves killed at random moments, as a crash or a power cut would end them:
// every kill leaves the old file or the new one, never a mix or a short file.
#include "questions/AtomicFile.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"
#include "tests/support/KillLoop.h"
#include "tests/windows/ChildTask.h"
#include "tests/windows/SaveLoop.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

constexpr UINT kKilled = 77;

TEST(KilledSave, EveryKillLeavesTheOldOrTheNewFile) {
    TempDir dir;
    const fs::path file = dir.Path() / "big.krb";
    KillLoop loop(file, 40000, {"big.krb"});
    // Hidden every other time: no kill may lose the attribute either.
    DWORD hidden = 0;
    loop.prepare = [&](int kill) {
        hidden = kill % 2 ? FILE_ATTRIBUTE_HIDDEN : 0;
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), hidden | FILE_ATTRIBUTE_ARCHIVE));
    };
    loop.killSave = [&](int kill, unsigned microseconds) {
        SaveLoop child(file.wstring());
        Sleep(microseconds / 1000);
        ASSERT_EQ(child.Kill(kKilled), kKilled) << "kill " << kill << ": the child ended";
    };
    loop.afterKill = [&](int kill) {
        EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, hidden)
            << "kill " << kill;
    };
    ASSERT_NO_FATAL_FAILURE(loop.Run(60, 60000));
    std::printf("60 kills: %d found new content, the counts reached %d; %zu left a temporary "
                "file\n",
                loop.changed, loop.last, loop.leftovers.size());
}

} // namespace

// A save removes only what saves of the same file left that can no longer be
// written: never the file of a process that still runs, but that of one that
// has ended, or whose id Windows has since given to a process that started
// after the file was made.
TEST(KilledSave, OnlyTheFilesOfEndedSavesAreRemoved) {
    TempDir dir, other;
    const fs::path file = dir.Path() / "set.krb", loop = other.Path() / "loop.krb";
    WriteBytes(file, "q a 1\r\n");
    WriteBytes(loop, "q a 1\r\n");
    WriteBytes(dir.Path() / "made first", "x");
    SaveLoop ended(loop.wstring()), later(loop.wstring());
    const std::string self = std::to_string(GetCurrentProcessId()),
                      dead = std::to_string(ended.Pid());
    const auto temporary = [](const std::string& pid) {
        return ".set.krb.kirabel-" + pid + "-Ab3xYz.tmp";
    };
    fs::rename(dir.Path() / "made first", dir.Path() / temporary(std::to_string(later.Pid())));
    const struct {
        std::string name;
        bool kept;
    } leftovers[] = {
        {temporary(std::to_string(later.Pid())), false}, // the one made first
        {temporary(self), true},
        {temporary(dead), false},
        {".other.krb.kirabel-" + dead + "-Ab3xYz.tmp", true},
        {".set.krb." + dead + ".backup", true}, // the learner's own
        {".set.krb.kirabel-" + dead + "-Ab3.tmp", true},
    };
    std::set<std::string> expected{"set.krb"};
    for (const auto& leftover : leftovers) {
        if (!fs::exists(dir.Path() / leftover.name)) {
            WriteBytes(dir.Path() / leftover.name, "x"); // made while its process runs
        }
        if (leftover.kept) {
            expected.insert(leftover.name);
        }
    }
    ASSERT_EQ(ended.Kill(kKilled), kKilled);
    LoadRaiseAllSave(file);
    EXPECT_EQ(ReadBytes(file), "q a 2\r\n");
    EXPECT_EQ(NamesIn(dir.Path()), expected);
}

// A hard-linked set is rewritten where it is. Ended at each moment of that
// rewrite, the save leaves a set that reads whole under both names, with the
// old counts or the new: 9 becomes 10, so a torn file would lose lines.
TEST(KilledInPlaceSave, EveryMomentLeavesTheOldOrTheNewCounts) {
    constexpr int kRecords = 30000;
    int torn = 0;
    for (const auto& at : testsupport::kInPlaceMoments) {
        SCOPED_TRACE(at.name);
        TempDir dir;
        const fs::path file = dir.Path() / "set.krb", twin = dir.Path() / "twin.krb";
        WriteBytes(file, Lines(kRecords, 9));
        ASSERT_TRUE(CreateHardLinkW(twin.c_str(), file.c_str(), nullptr));
        {
            ChildTask child(
                {L"kill-at", std::to_wstring(static_cast<int>(at.moment)), file.wstring()});
            ASSERT_EQ(child.Wait(), ChildTask::kKilled);
        }
        torn += CommonCount(ReadBytes(file), kRecords) < 0;
        // Opened through the other name, which finds the copy all the same.
        std::unique_ptr<QuestionSetFile> set;
        ASSERT_NO_THROW(set = QuestionSetFile::Load(Utf8Of(twin)));
        EXPECT_EQ(set->Records().Size(), std::size_t{kRecords});
        EXPECT_EQ(CommonCount(ReadBytes(file), kRecords), at.count);
        EXPECT_EQ(ReadBytes(twin), ReadBytes(file));
        for (const std::string& name : NamesIn(dir.Path())) {
            EXPECT_FALSE(name.ends_with(".copy")) << name;
        }
        LoadRaiseAllSave(file); // and the next save clears what is left
        EXPECT_EQ(CommonCount(ReadBytes(twin), kRecords), at.count + 1);
        EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"set.krb", "twin.krb"}));
    }
    std::printf("%zu kills of an in-place save: %d left the file torn until the next read\n",
                std::size(testsupport::kInPlaceMoments), torn);
}

// Two Kirabel processes on one set under Wine, and why a failed save failed.
#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "res/Strings.h"
#include "tests/TestSupport.h"
#include "tests/windows/ChildTask.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kSaveFailed = std::string(strings::kSaveFailed) + "\n  -";

TEST(TwoWindows, NoRightAnswerIsLost) {
    constexpr int kRecords = 20, kAnswers = 300;
    TempDir dir;
    const fs::path file = dir.Path() / "set.krb";
    WriteBytes(file, Lines(kRecords, 0));
    const ChildTask::Event gate = ChildTask::NewEvent();
    const std::vector<std::wstring> task{L"answer", file.wstring(), std::to_wstring(kAnswers),
                                         gate.name};
    ChildTask first(task), second(task);
    SetEvent(gate.handle);
    EXPECT_EQ(first.Wait(), 0u) << "saves that failed";
    EXPECT_EQ(second.Wait(), 0u) << "saves that failed";
    CloseHandle(gate.handle);
    const int sum = CountSum(ReadBytes(file), kRecords);
    std::printf("two processes, %d right answers each: %d in the file\n", kAnswers, sum);
    EXPECT_EQ(sum, 2 * kAnswers);
    EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string>{"set.krb"});
}

TEST(TwoWindows, AHungHolderFailsTheSaveForAWhile) {
    TempDir dir;
    const fs::path file = dir.Path() / "set.krb";
    WriteBytes(file, "q a 1\r\n");
    const auto set = QuestionSetFile::Load(Utf8Of(file));
    set->Records().At(0)->AddCorrect();
    const ChildTask::Event ready = ChildTask::NewEvent(), release = ChildTask::NewEvent();
    ChildTask holder({L"hold", file.wstring(), ready.name, release.name});
    WaitForSingleObject(ready.handle, INFINITE);
    EXPECT_EQ(MessageOf<CpException>([&] { set->Save(); }),
              kSaveFailed + strings::kReasonHeld + "\n");
    EXPECT_EQ(ReadBytes(file), "q a 1\r\n");
    SetEvent(release.handle);
    EXPECT_EQ(holder.Wait(), 0u);
    set->Records().At(0)->AddCorrect();
    set->Save(); // the next right answer saves both
    EXPECT_EQ(ReadBytes(file), "q a 3\r\n");
    CloseHandle(ready.handle);
    CloseHandle(release.handle);
}

TEST(FailedSave, AFolderThatIsGoneSaysSo) {
    TempDir dir;
    const fs::path folder = dir.Path() / "sets", file = folder / "set.krb";
    fs::create_directory(folder);
    WriteBytes(file, "q a 1\r\n");
    const auto set = QuestionSetFile::Load(Utf8Of(file));
    set->Records().At(0)->AddCorrect();
    fs::remove(file);
    fs::remove(folder);
    EXPECT_EQ(MessageOf<CpException>([&] { set->Save(); }),
              kSaveFailed + strings::kReasonGone + "\n");
}

// The reason on the failed save's second line, for each error a save meets.
TEST(FailedSave, EachErrorSaysWhy) {
    const struct {
        DWORD error;
        std::string reason;
    } errors[] = {
        {ERROR_DISK_FULL, strings::kReasonNoSpace},
        {ERROR_HANDLE_DISK_FULL, strings::kReasonNoSpace},
        {ERROR_ACCESS_DENIED, strings::kReasonNotAllowed},
        {ERROR_WRITE_PROTECT, strings::kReasonNotAllowed},
        {ERROR_SHARING_VIOLATION, strings::kReasonHeld},
        {ERROR_LOCK_VIOLATION, strings::kReasonHeld},
        {ERROR_USER_MAPPED_FILE, strings::kReasonHeld},
        {ERROR_FILE_NOT_FOUND, strings::kReasonGone},
        {ERROR_PATH_NOT_FOUND, strings::kReasonGone},
        {ERROR_BAD_NETPATH, strings::kReasonGone},
    };
    for (const auto& row : errors) {
        EXPECT_EQ(FileSystem::ReasonOf(static_cast<long>(row.error)), row.reason) << row.error;
    }
    // Any other: the system's own words, not empty, without its line break.
    const std::string other = FileSystem::ReasonOf(ERROR_CRC);
    EXPECT_FALSE(other.empty());
    EXPECT_EQ(other.find_first_of("\r\n"), std::string::npos) << other;
}

} // namespace

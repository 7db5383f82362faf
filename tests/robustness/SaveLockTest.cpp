// Two Kirabel processes on one set: every right answer of both reaches the
// file, and one that hangs while it holds the set only fails the other's save
// for a while.
#include "questions/CpException.h"
#include "questions/FileLock.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "res/Strings.h"
#include "tests/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::CountSum;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

constexpr int kRecords = 20;

// A child that waits for the gate's write end to close, then raises `answers` records one
// at a time, saving after each, as fast as it can. Its exit code is the
// number of saves that failed.
pid_t StartAnswering(const std::string& path, const int (&gate)[2], int answers) {
    const pid_t child = ::fork();
    if (child != 0) {
        return child;
    }
    ::close(gate[1]);
    int failed = 0;
    try {
        const auto set = QuestionSetFile::Load(path);
        char byte = 0;
        while (::read(gate[0], &byte, 1) > 0) {
        }
        for (int i = 0; i < answers; ++i) {
            set->Records().At(static_cast<std::size_t>(i) % set->Records().Size())->AddCorrect();
            try {
                set->Save();
            } catch (const CpException&) {
                ++failed;
            }
        }
    } catch (...) {
        failed = 255;
    }
    ::_exit(failed);
}

int ExitCodeOf(pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TwoWindows, NoRightAnswerIsLost) {
    constexpr int kAnswers = 300;
    testsupport::TempDir dir;
    const std::string path = dir.File("set.krb");
    WriteBytes(path, testsupport::Lines(kRecords, 0));
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t first = StartAnswering(path, gate, kAnswers);
    const pid_t second = StartAnswering(path, gate, kAnswers);
    ::close(gate[0]);
    ::close(gate[1]); // both go
    EXPECT_EQ(ExitCodeOf(first), 0) << "saves that failed";
    EXPECT_EQ(ExitCodeOf(second), 0) << "saves that failed";
    const int sum = CountSum(ReadBytes(path), kRecords);
    std::printf("two processes, %d right answers each: %d in the file\n", kAnswers, sum);
    EXPECT_EQ(sum, 2 * kAnswers);
    EXPECT_EQ(testsupport::NamesIn(dir.Path()), std::set<std::string>{"set.krb"});
}

// A process that holds the set and does not go on.
class HungHolder {
public:
    explicit HungHolder(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_release) != 0) {
            std::abort();
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            ::close(m_release[1]);
            const FileLock lock(path);
            ::close(ready[1]);
            char byte = 0;
            while (::read(m_release[0], &byte, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(m_release[0]);
        char byte = 0;
        while (::read(ready[0], &byte, 1) > 0) { // closed once it holds the lock
        }
        ::close(ready[0]);
    }
    HungHolder(const HungHolder&) = delete;
    HungHolder& operator=(const HungHolder&) = delete;
    ~HungHolder() { Release(); }
    void Release() {
        if (m_child > 0) {
            ::close(m_release[1]);
            ::waitpid(m_child, nullptr, 0);
            m_child = 0;
        }
    }

private:
    pid_t m_child = 0;
    int m_release[2]{};
};

TEST(TwoWindows, AHungHolderFailsTheSaveForAWhile) {
    testsupport::TempDir dir;
    const std::string path = dir.File("set.krb");
    WriteBytes(path, "q a 1\r\n");
    const auto set = QuestionSetFile::Load(path);
    set->Records().At(0)->AddCorrect();
    HungHolder holder(path);
    EXPECT_EQ(testsupport::MessageOf<CpException>([&] { set->Save(); }),
              std::string(strings::kSaveFailed) + "\n  -" + strings::kReasonHeld + "\n");
    EXPECT_EQ(ReadBytes(path), "q a 1\r\n");
    holder.Release();
    set->Records().At(0)->AddCorrect();
    set->Save(); // the next right answer saves both
    EXPECT_EQ(ReadBytes(path), "q a 3\r\n");
}

// A lock taken twice by one process and let go in the order it was taken is
// free for another process once both are gone.
TEST(TwoWindows, ALockLetGoOutOfOrderIsFree) {
    testsupport::TempDir dir;
    const std::string path = dir.File("set.krb");
    WriteBytes(path, "q a 1\r\n");
    {
        auto first = std::make_unique<FileLock>(path);
        const FileLock second(path);
        first.reset();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(FileLock(path).TimedOut() ? 1 : 0);
    }
    EXPECT_EQ(ExitCodeOf(child), 0) << "the other process found the lock held";
}

} // namespace

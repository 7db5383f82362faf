#pragma once

// The drill that the window tests run, on every toolkit and without one: a set
// of two questions in a folder of its own, answered through the window under
// test. Expected messages are composed from the program's own texts.

#include "res/Strings.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The set's questions and answers (UTF-8), in file order; shown in either order.
inline const std::string kDrillQuestions[] = {"日本の首都", "犬(英語)"};
inline const std::string kDrillAnswers[] = {"東京", "dog"};

// The set's file with these counts, in code page 932.
inline std::string SetFile(int count0, int count1) {
    return Cp932(kDrillQuestions[0] + " " + kDrillAnswers[0] + " " + std::to_string(count0) +
                 "\r\n" + kDrillQuestions[1] + " " + kDrillAnswers[1] + " " +
                 std::to_string(count1) + "\r\n");
}

// A failure as the learner reads it: the first line, then each cause on a line
// of its own.
inline std::string Told(std::string_view first, std::initializer_list<std::string_view> causes) {
    std::string text(first);
    text += "\n";
    for (const std::string_view cause : causes) {
        text += "  -";
        text += cause;
        text += "\n";
    }
    return text;
}

// What a failed save of a read-only file says before the window's own words.
inline const std::string kReadOnlySaveFailed =
    Told(strings::kSaveFailed, {strings::kReasonNotAllowed});

// The two-question set in `m_set`, written afresh for each test. Each window's
// test says how its window opens a file, which question it shows and how it
// takes a reply.
class DrillFixture {
public:
    DrillFixture() { WriteBytes(m_set, SetFile(0, 0)); }
    DrillFixture(const DrillFixture&) = delete;
    DrillFixture& operator=(const DrillFixture&) = delete;
    virtual ~DrillFixture() {
        // Windows deletes no read-only file: the folder goes whole.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path(), ignored)) {
            std::filesystem::permissions(
                entry.path(),
                std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ignored);
        }
    }

    std::string Write(const std::string& name, const std::string& bytes) const {
        WriteBytes(m_dir.File(name), bytes);
        return m_dir.File(name);
    }
    static void MakeReadOnly(const std::string& path, bool readOnly = true) {
        using std::filesystem::perms;
        std::filesystem::permissions(
            PathOf(path), readOnly ? perms::owner_read : perms::owner_read | perms::owner_write);
    }

    // Opens the set and answers its first question right; returns which it was.
    int AnswerFirstRight(bool saveFails = false) {
        Open(m_set);
        if (saveFails) {
            MakeReadOnly(m_set);
        }
        const int first = Shown();
        Reply(kDrillAnswers[first]);
        return first;
    }
    // The same while the file cannot be written: the learner is told once, and
    // the raise waits in memory for the next save, which may then write.
    int AnswerFirstRightUnsaved() {
        const int first = AnswerFirstRight(true);
        MakeReadOnly(m_set, false);
        EXPECT_EQ(TakeWarnings(),
                  std::vector<std::string>{kReadOnlySaveFailed + strings::kProgressKept});
        EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
        return first;
    }

protected:
    // Opens the file as the learner does, through the window's chooser.
    virtual void Open(const std::string& path) = 0;
    // Which of kDrillQuestions the window shows.
    virtual int Shown() = 0;
    // Types the reply into the answer box and presses Enter.
    virtual void Reply(const std::string& reply) = 0;
    // The warnings shown so far, which the window then forgets; only where the
    // test answers the window's warnings itself.
    virtual std::vector<std::string> TakeWarnings() {
        ADD_FAILURE() << "this window's warnings are shown, not kept";
        return {};
    }

    TempDir m_dir;
    const std::string m_set = m_dir.File("set.krb");
};

} // namespace testsupport

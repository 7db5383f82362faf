#include "app/WindowCommands.h"
#include "app/DrillWindow.h"
#include "questions/Cp932.h"
#include "res/Strings.h"
#include "session/QuizSession.h"
#include "tests/RecordingOwner.h"
#include "tests/TestSupport.h"
#include "tests/support/DrillFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using testsupport::kDrillAnswers;
using testsupport::kDrillQuestions;
using testsupport::kReadOnlySaveFailed;
using testsupport::PathOf;
using testsupport::ReadBytes;
using testsupport::SetFile;
using testsupport::Told;
using testsupport::WriteBytes;

namespace {

// Logs every call, "|" after each; keeps the question and number shown, gives
// `box` as the reply, answers the chooser from `choices` ("" cancels) and
// every question with `yes`.
class RecordingWindow : public testsupport::RecordingOwner<DrillWindow> {
public:
    void ShowWarning(const std::string& t) override {
        warnings.push_back(t);
        Log("warning " + t);
    }
    std::string ChooseSetFile() override {
        Log("choose");
        if (chooserThrows) {
            throw std::runtime_error("the chooser failed");
        }
        std::string choice;
        if (!choices.empty()) {
            choice = std::move(choices.front());
            choices.pop_front();
        }
        return choice;
    }
    bool AskYesNo(const std::string& t) override {
        asked.push_back(t);
        Log("ask " + t);
        return yes;
    }
    void ClearFocus() override { Log("clear focus"); }
    // A toolkit call that fails, as one may for reasons of its own.
    void SetQuestionText(const std::string& t) override {
        if (failing) {
            throw std::runtime_error("the label failed");
        }
        RecordingOwner::SetQuestionText(t);
    }
    std::string GetAnswerBoxText() override {
        if (failing) {
            throw std::runtime_error("the answer box failed");
        }
        return RecordingOwner::GetAnswerBoxText();
    }

    std::deque<std::string> choices;
    std::vector<std::string> warnings, asked;
    bool chooserThrows = false;
    bool failing = false;
    bool yes = false;
};

const std::string kStopped = "button on 0|box on 0|clear focus|wrong 0|right 0|";
const std::string kStart = std::string("question ") + strings::kQuestionStart + "|answer " +
                           strings::kAnswerStart +
                           "|colour 255,255,255|hint |description |box says |button says |number " +
                           strings::kNumberStart + "|status |box |" + kStopped;
const std::string kSaveFailed = kReadOnlySaveFailed; // a read-only file
const std::string kProgressKept = strings::kProgressKept;
const std::string kOpenAnyway = strings::kOpenAnyway;
const std::string kCloseAnyway = strings::kCloseAnyway;
const std::string kUnexpected = strings::kUnexpectedError;
const std::string kReadOnlySet = strings::kReadOnlySet;
// A file whose first line has no answer.
const std::string kLine1Failed = std::string(strings::kReadFailedAt) + "1" + strings::kLineSuffix;
const std::string kNoAnswerOnLine1 = Told(kLine1Failed, {strings::kNoToken});

class WindowCommandsTest : public testing::Test, public testsupport::DrillFixture {
protected:
    void SetUp() override { QuizSession::SetOwner(&m_window); }
    void TearDown() override { QuizSession::SetOwner(nullptr); }
    void Open(const std::string& path) override {
        m_window.choices.push_back(path);
        m_commands.OpenSet();
    }
    std::string Take() { return std::exchange(m_window.calls, {}); }
    int Shown() override { return m_window.question == kDrillQuestions[0] ? 0 : 1; }
    void Reply(const std::string& reply) override {
        m_window.box = reply;
        m_session.CheckAnswer();
    }
    // The calls logged so far go with them.
    std::vector<std::string> TakeWarnings() override {
        Take();
        return std::exchange(m_window.warnings, {});
    }

    // What an editor does: writes the file, with a modification time of its own.
    void EditOutside(const std::string& bytes) {
        WriteBytes(m_set, bytes);
        fs::last_write_time(PathOf(m_set),
                            fs::last_write_time(PathOf(m_set)) + std::chrono::seconds(2));
    }

    RecordingWindow m_window;
    QuizSession m_session;
    WindowCommands m_commands{m_session, m_window};
};

// Readable test names: the case's own name instead of its index.
constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

TEST_F(WindowCommandsTest, CheckSystemWarnsOnlyWithoutCodePage932) {
    m_commands.CheckSystem();
    EXPECT_EQ(Take(),
              Cp932::IsAvailable() ? "" : "warning " + std::string(strings::kNoCp932) + "|");
}

TEST_F(WindowCommandsTest, StopAskingAndReturnToStartCallSequences) {
    m_commands.StopAsking();
    EXPECT_EQ(Take(), kStopped);
    Open(m_set);
    EXPECT_TRUE(m_session.HasSet());
    Take();
    m_commands.ReturnToStart();
    EXPECT_EQ(Take(), kStart);
    EXPECT_FALSE(m_session.HasSet());
}

// A path given without the chooser (a dropped file) takes every other step:
// the set in use saved first, the same messages.
TEST_F(WindowCommandsTest, OpenShowsTheFirstQuestion) {
    const auto shown = [&] {
        return "box says 第1問 " + kDrillQuestions[Shown()] +
               "|box on 1|focus box|button on 0|question " + kDrillQuestions[Shown()] +
               "|answer |colour 255,255,255|hint |description |box |number 第1問|right 0|wrong "
               "0|status 今回 0問中 0問正解　未正解 2/2問|";
    };
    Open(m_set);
    EXPECT_EQ(Take(), "choose|" + shown());
    EXPECT_TRUE(m_window.warnings.empty());

    const int first = AnswerFirstRightUnsaved();
    const std::string other = Write("other.krb", SetFile(0, 0));
    MakeReadOnly(other);
    m_commands.OpenSet(other);
    EXPECT_EQ(Take(), shown() + "warning " + kReadOnlySet + "|");
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

TEST_F(WindowCommandsTest, CancellingTheChooserChangesNothing) {
    AnswerFirstRightUnsaved();
    Open("");
    EXPECT_EQ(Take(), "choose|");
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
    EXPECT_TRUE(m_session.HasSet());
}

TEST_F(WindowCommandsTest, AChooserThatFailsIsReportedAndChangesNothing) {
    AnswerFirstRightUnsaved();
    m_window.chooserThrows = true;
    m_commands.OpenSet();
    EXPECT_EQ(Take(), "choose|warning " + kUnexpected + "|");
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
    EXPECT_TRUE(m_session.HasSet());
}

struct BadFile {
    const char* name;
    const char* bytes; // none: the file is gone
    std::string message;
};

class FailedOpen : public WindowCommandsTest, public testing::WithParamInterface<BadFile> {};

// The set in use is saved first; then nothing pretends a drill runs.
TEST_P(FailedOpen, ReportsAndReturnsToTheStart) {
    const int first = AnswerFirstRightUnsaved();
    const std::string bad = GetParam().bytes ? Write("bad.krb", GetParam().bytes) : m_dir.File("x");
    Open(bad);
    EXPECT_EQ(m_window.warnings, std::vector<std::string>{GetParam().message});
    const std::string calls = Take();
    EXPECT_TRUE(calls.ends_with(kStart + "warning " + GetParam().message + "|")) << calls;
    EXPECT_FALSE(m_session.HasSet());
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
    m_session.CheckAnswer(); // Enter with nothing focused reaches the check, harmlessly
    EXPECT_EQ(Take(), "");
    // Nothing is left to save: closing writes no file.
    fs::remove(PathOf(bad));
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_FALSE(fs::exists(PathOf(bad)));
    EXPECT_EQ(Take(), "");
}

INSTANTIATE_TEST_SUITE_P(WindowCommands, FailedOpen,
                         testing::Values(BadFile{"EmptyFile", "", kUnexpected},
                                         BadFile{"FileGone", nullptr, kUnexpected},
                                         BadFile{"LineWithoutAnswer", "x\r\n", kNoAnswerOnLine1}),
                         kCaseName);

// A file that cannot be written is said so once, at the open; the drill runs.
TEST_F(WindowCommandsTest, AReadOnlyFileIsToldOnceAndNeverTraps) {
    MakeReadOnly(m_set);
    AnswerFirstRight();
    EXPECT_EQ(m_window.warnings, std::vector<std::string>{kReadOnlySet});
    EXPECT_NE(m_window.calls.find("right 1"), std::string::npos);
    m_window.yes = true;
    Open(Write("other.krb", SetFile(5, 5))); // asks once, then opens
    EXPECT_EQ(m_window.asked.size(), 1u);
    EXPECT_EQ(m_window.number, "第1問");
    Open(m_set); // read-only again, nothing answered: closing asks nothing
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_EQ(m_window.asked.size(), 1u);
    EXPECT_EQ(m_window.warnings.size(), 2u);
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
}

// A failed save is never silent, and never a trap: the learner is told once at
// the answer; opening another set and closing both ask before this run's
// progress is given up; No keeps all.
TEST_F(WindowCommandsTest, AFailedSaveAsksBeforeTheProgressIsGivenUp) {
    const std::string other = Write("other.krb", SetFile(5, 5));
    const int first = AnswerFirstRight(true);
    EXPECT_EQ(m_window.warnings, std::vector<std::string>{kSaveFailed + kProgressKept});
    Take();
    Open(other);
    EXPECT_EQ(Take(), "choose|ask " + kSaveFailed + kOpenAnyway + "|");
    EXPECT_FALSE(m_commands.MayClose());
    EXPECT_EQ(Take(), "ask " + kSaveFailed + kCloseAnyway + "|");
    EXPECT_EQ(m_window.asked,
              (std::vector<std::string>{kSaveFailed + kOpenAnyway, kSaveFailed + kCloseAnyway}));
    EXPECT_TRUE(m_session.HasSet());
    EXPECT_EQ(m_window.question, kDrillQuestions[first]);
    m_window.yes = true;
    Open(other);
    EXPECT_EQ(m_window.number, "第1問");
    EXPECT_EQ(m_window.warnings.size(), 1u);
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_EQ(ReadBytes(other), SetFile(5, 5)); // nothing answered: nothing written
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
}

TEST_F(WindowCommandsTest, CloseSavesWithoutAsking) {
    EXPECT_TRUE(m_commands.MayClose()); // no set yet: nothing to save
    const int first = AnswerFirstRightUnsaved();
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

TEST_F(WindowCommandsTest, AFailedSaveOnCloseAsksAndYesCloses) {
    AnswerFirstRight(true);
    Take();
    m_window.yes = true;
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_EQ(Take(), "ask " + kSaveFailed + kCloseAnyway + "|");
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
}

// Nobody may be there to answer: the end of the desktop session asks nothing,
// whether the save works or not.
TEST_F(WindowCommandsTest, SaveAtSessionEndNeverAsks) {
    AnswerFirstRight(true);
    Take();
    m_window.warnings.clear();
    EXPECT_FALSE(m_commands.SaveAtSessionEnd());
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
    MakeReadOnly(m_set, false);
    const int first = Shown();
    EXPECT_TRUE(m_commands.SaveAtSessionEnd());
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
    EXPECT_EQ(Take(), "");
    EXPECT_TRUE(m_window.warnings.empty());
    EXPECT_TRUE(m_window.asked.empty());
}

// Every way a run ends saves once more: an old copy that an editor wrote back
// after the last right answer gets this run's answers back.
TEST_F(WindowCommandsTest, EveryEndUndoesAnOldCopyWrittenAfterTheLastAnswer) {
    const std::string other = Write("other.krb", SetFile(5, 5));
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"close", [&] { EXPECT_TRUE(m_commands.MayClose()); }},
        {"open another set", [&] { Open(other); }},
        {"end of the desktop session", [&] { EXPECT_TRUE(m_commands.SaveAtSessionEnd()); }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        WriteBytes(m_set, SetFile(0, 0));
        const int first = AnswerFirstRight();
        EditOutside(SetFile(0, 0));
        end();
        EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
        EXPECT_TRUE(m_window.asked.empty());
        m_session.Reset();
    }
    // Unreadable at that moment: a failed save, which closing asks about.
    AnswerFirstRight();
    EditOutside("x\r\n");
    EXPECT_FALSE(m_commands.MayClose());
    EXPECT_EQ(m_window.asked, std::vector<std::string>{
                                  Told(strings::kSaveFailed, {strings::kChangedUnreadable,
                                                              kLine1Failed, strings::kNoToken}) +
                                  kCloseAnyway});
}

// A set emptied in an editor: the next question finds none, and the window
// goes back to its first state, as after an open of an empty set.
TEST_F(WindowCommandsTest, ASetEmptiedInAnEditorEndsTheDrillAsAFailedOpen) {
    Open(m_set);
    EditOutside("");
    m_window.box = kDrillAnswers[Shown()];
    m_commands.CheckAnswer(); // the merge takes the empty file over
    EXPECT_NE(m_window.calls.find("right 1"), std::string::npos);
    Take();
    m_commands.NextQuestion();
    EXPECT_EQ(Take(), kStart + "warning " + kUnexpected + "|");
    EXPECT_FALSE(m_session.HasSet());
    EXPECT_TRUE(m_commands.MayClose());
    EXPECT_EQ(ReadBytes(m_set), "");
}

// Any other error inside a command is shown, and the drill goes on.
TEST_F(WindowCommandsTest, AnErrorInsideACommandIsShownAndTheDrillGoesOn) {
    Open(m_set);
    const std::pair<const char*, void (WindowCommands::*)()> commands[] = {
        {"check", &WindowCommands::CheckAnswer},
        {"next question", &WindowCommands::NextQuestion},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        m_window.warnings.clear();
        m_window.failing = true;
        (m_commands.*command)();
        EXPECT_EQ(m_window.warnings, std::vector<std::string>{kUnexpected});
        m_window.failing = false;
        (m_commands.*command)();
        EXPECT_EQ(m_window.warnings.size(), 1u);
        EXPECT_TRUE(m_session.HasSet());
    }
}

struct EndCase {
    const char* name;
    bool saveFails;
    // "query" (nobody may be asked), "critical", "ask yes" and "ask no" (the
    // learner's answer), "off" (the end called off), "check" (a command of the
    // learner's), "close" (the learner answers No).
    std::vector<std::string> steps;
    std::string results;
    std::size_t asked;
};

class SessionEnd : public WindowCommandsTest, public testing::WithParamInterface<EndCase> {};

// Whether the desktop's session may end, what a close then asks, and what
// starts the decision over.
TEST_P(SessionEnd, IsDecidedAlikeOnEveryToolkit) {
    const EndCase& c = GetParam();
    AnswerFirstRight(c.saveFails);
    m_window.asked.clear();
    int mayAskCalls = 0, queries = 0;
    std::string results;
    for (const std::string& step : c.steps) {
        if (step == "off") {
            m_commands.SessionEndCalledOff();
        } else if (step == "check") {
            m_commands.CheckAnswer();
        } else if (step == "close") {
            m_window.yes = false;
            results += m_commands.MayClose() ? "closes " : "kept ";
        } else {
            const bool mayAsk = step.starts_with("ask");
            m_window.yes = step == "ask yes";
            ++queries;
            const SessionEndAnswer answer = m_commands.QueryEndSession(
                [&] { return ++mayAskCalls, mayAsk; }, step == "critical");
            results += answer == SessionEndAnswer::Allow ? "allow " : "hold ";
        }
    }
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(m_window.asked.size(), c.asked);
    if (c.asked > 0) {
        EXPECT_EQ(m_window.asked[0], kSaveFailed + kCloseAnyway);
    }
    EXPECT_EQ(mayAskCalls, c.saveFails ? queries : 0); // asking may cost: only when needed
}

INSTANTIATE_TEST_SUITE_P(
    WindowCommands, SessionEnd,
    testing::Values(
        EndCase{"SavedEndsWithoutAsking", false, {"query", "close"}, "allow closes ", 0},
        EndCase{"SavedEvenWhereTheLearnerMayBeAsked", false, {"ask no"}, "allow ", 0},
        EndCase{"NobodyToAskHoldsUpOnce", true, {"query", "query"}, "hold allow ", 0},
        EndCase{"ACalledOffEndKeepsItsHold", true, {"query", "off", "query"}, "hold allow ", 0},
        EndCase{"ACommandStartsOver", true, {"query", "check", "query"}, "hold hold ", 0},
        EndCase{"ACriticalEndIsNeverHeld", true, {"critical"}, "allow ", 0},
        EndCase{"TheLearnerKeepsTheWindow", true, {"ask no", "close"}, "hold kept ", 2},
        EndCase{"TheLearnerGivesUp", true, {"ask yes", "close"}, "allow closes ", 1},
        EndCase{
            "ACommandAfterTheEndWasLetGo", true, {"critical", "check", "close"}, "allow kept ", 1},
        EndCase{
            "CalledOffAfterTheEndWasLetGo", true, {"critical", "off", "close"}, "allow kept ", 1}),
    kCaseName);

} // namespace

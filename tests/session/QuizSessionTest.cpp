#include "session/QuizSession.h"
#include "questions/CpException.h"
#include "session/QuizOwner.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>

using namespace testsupport;

namespace {

// Logs every call, "|" after each; keeps the question and number shown, and
// gives `box` as the reply.
class RecordingOwner : public QuizOwner {
public:
    void SetQuestionText(const std::string& t) override { Log("question " + (question = t)); }
    void SetAnswerText(const std::string& t) override { Log("answer " + t); }
    void SetAnswerTextColor(Color c) override { // red,green,blue
        Log("colour " + std::to_string(c & 0xFF) + "," + std::to_string(c >> 8 & 0xFF) + "," +
            std::to_string(c >> 16));
    }
    void SetNumberText(const std::string& t) override { Log("number " + (number = t)); }
    void SetAnswerBoxText(const std::string& t) override { Log("box " + (box = t)); }
    std::string GetAnswerBoxText() override {
        Log("read box");
        return box;
    }
    void EnableAnswerBox(bool on) override { Log("box on " + std::to_string(on)); }
    void EnableNextButton(bool on) override { Log("button on " + std::to_string(on)); }
    void ShowRightMark(bool on) override { Log("right " + std::to_string(on)); }
    void ShowWrongMark(bool on) override { Log("wrong " + std::to_string(on)); }
    void FocusAnswerBox() override { Log("focus box"); }
    void FocusNextButton() override { Log("focus button"); }

    std::string calls, question, number, box;

private:
    void Log(const std::string& call) { calls += call + "|"; }
};

std::string Shown(const std::string& question, int n) {
    return Cp932("box on 1|focus box|button on 0|question " + question +
                 "|answer |colour 255,255,255|box |number 第" + std::to_string(n) +
                 "問|right 0|wrong 0|");
}

std::string Checked(const std::string& answer, bool right) {
    return Cp932("button on 1|focus button|box on 0|read box|answer 答え  " + answer +
                 (right ? "|colour 180,180,255|right 1|" : "|colour 255,100,100|wrong 1|"));
}

std::string Number(int n) {
    return Cp932("第" + std::to_string(n) + "問");
}

class Session : public testing::Test {
protected:
    void SetUp() override { QuizSession::SetOwner(&m_owner); }
    void TearDown() override { QuizSession::SetOwner(nullptr); }
    void Open(const std::string& path) { // as the window's open command does
        m_session.Save();
        m_session.Reset();
        m_session.Load(path);
        m_session.ShowNextQuestion();
    }
    std::string Take() { return std::exchange(m_owner.calls, {}); }
    void Reply(const std::string& utf8) {
        m_owner.box = Cp932(utf8);
        m_session.CheckAnswer();
    }

    TempDir m_dir;
    const std::string m_path = m_dir.File("set.krb");
    RecordingOwner m_owner;
    QuizSession m_session;
};

TEST_F(Session, CallSequencesOfShowAndCheck) {
    WriteBytes(m_path, Cp932("犬 dog 0\r\n"));
    Open(m_path);
    EXPECT_EQ(Take(), Shown("犬", 1));
    Reply("dog");
    EXPECT_EQ(Take(), Checked("dog", true));
    m_session.ShowNextQuestion(); // the only question again, with the next number
    EXPECT_EQ(Take(), Shown("犬", 2));
    Reply("Dog");
    EXPECT_EQ(Take(), Checked("dog", false));
    m_session.Save();
    EXPECT_EQ(ReadBytes(m_path), Cp932("犬 dog 1\r\n"));
}

TEST_F(Session, NothingHappensWithoutAQuestion) {
    m_session.CheckAnswer();
    m_session.ShowNextQuestion();
    m_session.Save();
    EXPECT_EQ(Take(), "");
    // A file that is not there reads as an empty set: nothing to show, nothing to save.
    m_session.Load(m_path);
    EXPECT_THROW(m_session.ShowNextQuestion(), std::out_of_range);
    EXPECT_EQ(Take(), "box on 1|focus box|button on 0|");
    m_session.CheckAnswer();
    m_session.Save();
    EXPECT_EQ(Take(), "");
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(Session, ReopeningSavesFirstAndAFailedOpenLeavesNoSet) {
    WriteBytes(m_path, Cp932("猫 cat 3\r\n犬 dog 0\r\n"));
    Open(m_path);
    for (const char* reply : {"dog", "x", "dog"}) { // fewest right answers first
        EXPECT_EQ(m_owner.question, Cp932("犬"));
        Reply(reply);
        m_session.ShowNextQuestion();
    }
    EXPECT_EQ(m_owner.number, Number(4));
    Open(m_path);
    EXPECT_EQ(ReadBytes(m_path), Cp932("猫 cat 3\r\n犬 dog 2\r\n"));
    EXPECT_EQ(m_owner.number, Number(1));
    Take();
    Reply("dog"); // judged and shown against the question on show, not the first one
    EXPECT_EQ(Take(), Checked("dog", true));

    const std::string broken = m_dir.File("broken.krb");
    WriteBytes(broken, "q a 0\r\nno count\r\n");
    EXPECT_THROW(Open(broken), CpException);
    EXPECT_FALSE(m_session.HasSet());
    EXPECT_EQ(ReadBytes(m_path), Cp932("猫 cat 3\r\n犬 dog 3\r\n"));
    WriteBytes(m_path, "edited\r\n");
    m_session.Save();
    m_session.CheckAnswer();
    m_session.ShowNextQuestion();
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(ReadBytes(m_path) + ReadBytes(broken), "edited\r\nq a 0\r\nno count\r\n");
}

} // namespace

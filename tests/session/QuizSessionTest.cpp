#include "session/QuizSession.h"
#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "res/Strings.h"
#include "session/QuestionPool.h"
#include "session/QuizOwner.h"
#include "tests/RecordingOwner.h"
#include "tests/TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>

using namespace testsupport;

namespace {

using RecordingOwner = testsupport::RecordingOwner<QuizOwner>;

// The status follows only where it changed.
std::string Status(const std::string& status) {
    return status.empty() ? "" : "status " + status + "|";
}

std::string Shown(const std::string& question, int n, const std::string& status = "") {
    const std::string number = "第" + std::to_string(n) + "問";
    return "box says " + number + " " + question + "|box on 1|focus box|button on 0|question " +
           question + "|answer |colour 255,255,255|hint |description |box |number " + number +
           "|right 0|wrong 0|" + Status(status);
}

// The result is heard on the button as the focus lands there.
std::string Checked(const std::string& answer, bool right, const std::string& status,
                    const std::string& hint = "") {
    const std::string result = right ? "正解" : "不正解";
    return "read box|button says " + result + " 答え  " + answer +
           (hint.empty() ? "" : " " + hint) + "|button on 1|focus button|box on 0|answer 答え  " +
           answer + (right ? "|colour 180,180,255|" : "|colour 255,100,100|") + "hint " + hint +
           "|description " + result + (right ? "|right 1|" : "|wrong 1|") + Status(status);
}

std::string Number(int n) {
    return "第" + std::to_string(n) + "問";
}

// What another program does to a file: writes it where it is, and gives it a
// modification time of its own, as a clock that moved on would.
void EditOutside(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes);
    namespace fs = std::filesystem;
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
}

class Session : public testing::Test {
protected:
    void SetUp() override { QuizSession::SetOwner(&m_owner); }
    void TearDown() override { QuizSession::SetOwner(nullptr); }
    void Open(const std::string& path) { Open(m_session, path); }
    void Open(QuizSession& session, const std::string& path) { // as the window's open command does
        session.Save();
        session.Reset();
        session.Load(path);
        session.ShowNextQuestion();
    }
    std::string Take() { return std::exchange(m_owner.calls, {}); }
    void Reply(const std::string& utf8) { Reply(m_session, utf8); }
    void Reply(QuizSession& session, const std::string& utf8) {
        m_owner.box = utf8;
        session.CheckAnswer();
    }

    TempDir m_dir;
    const std::string m_path = m_dir.File("set.krb");
    RecordingOwner m_owner;
    QuizSession m_session;
};

TEST_F(Session, CallSequencesOfShowAndCheck) {
    WriteBytes(m_path, Cp932("犬 dog 0\r\n"));
    Open(m_path);
    EXPECT_EQ(Take(), Shown("犬", 1, "今回 0問中 0問正解　未正解 1/1問"));
    Reply("dog");
    EXPECT_EQ(Take(), Checked("dog", true, "今回 1問中 1問正解　全問正解済み"));
    EXPECT_EQ(ReadBytes(m_path), Cp932("犬 dog 1\r\n")); // on disk before the check returns
    const auto written = std::filesystem::last_write_time(PathOf(m_path));
    m_session.ShowNextQuestion(); // the only question again, with the next number
    EXPECT_EQ(Take(), Shown("犬", 2));
    Reply("Dog");
    EXPECT_EQ(Take(), Checked("dog", false, "今回 2問中 1問正解　全問正解済み",
                              "大文字と小文字が違います。"));
    m_session.ShowNextQuestion();
    Take();
    Reply("cat");
    EXPECT_EQ(Take(), Checked("dog", false, "今回 3問中 1問正解　全問正解済み"));
    m_session.Save();
    EXPECT_EQ(ReadBytes(m_path), Cp932("犬 dog 1\r\n"));
    EXPECT_EQ(std::filesystem::last_write_time(PathOf(m_path)), written); // nothing written
}

// Each step's status as the owner last got it, and whether the step sent one.
TEST_F(Session, TheStatusSaysWhereTheRunAndTheSetStand) {
    // Every answer is its question in capitals.
    const auto right = [&] {
        std::string answer = m_owner.question;
        for (char& c : answer) {
            c = static_cast<char>(c - 'a' + 'A');
        }
        Reply(answer);
    };
    const auto next = [&] { m_session.ShowNextQuestion(); };
    const struct {
        const char* name;
        std::function<void()> act;
        std::string status;
    } steps[] = {
        {"fresh set", [&] { Open(m_path); }, "今回 0問中 0問正解　未正解 1/3問"},
        {"wrong reply", [&] { Reply("x"); }, "今回 1問中 0問正解　未正解 1/3問"},
        {"next question: no change", next, ""},
        {"right reply, the last 0 raised", right, "今回 2問中 1問正解　全問正解済み"},
        // b and c removed, three added, two of them never answered; seen once
        // the next right answer's save takes the edits over.
        {"file edited outside",
         [&] { EditOutside(m_path, "d D 0\r\na A 1\r\ne E 0\r\nf F 4\r\n"); }, ""},
        {"next question", next, ""},
        {"right reply merged with the edits", right, "今回 3問中 2問正解　未正解 2/4問"},
        {"next question from the new lines", next, ""},
        {"right reply", right, "今回 4問中 3問正解　未正解 1/4問"},
        {"next question", next, ""},
        {"right reply, the last 0 raised again", right, "今回 5問中 4問正解　全問正解済み"},
        {"the same set opened again", [&] { Open(m_path); }, "今回 0問中 0問正解　全問正解済み"},
    };
    WriteBytes(m_path, "a A 0\r\nb B 3\r\nc C 3\r\n");
    std::string last;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        const std::string calls = Take();
        if (step.status.empty()) {
            EXPECT_EQ(calls.find("status "), std::string::npos) << calls;
        } else {
            EXPECT_TRUE(calls.ends_with("|status " + step.status + "|")) << calls;
            EXPECT_EQ(calls.find("status "), calls.rfind("status ")) << calls; // sent once
            last = step.status;
        }
        EXPECT_EQ(m_owner.status, last);
    }
    EXPECT_EQ(ReadBytes(m_path), "d D 1\r\na A 2\r\ne E 1\r\nf F 4\r\n");
}

// An empty set shows no status; a set whose lines were all removed outside
// has nothing left unanswered, and nothing answered either.
TEST_F(Session, TheStatusOfAnEmptySet) {
    WriteBytes(m_path, "");
    EXPECT_THROW(Open(m_path), std::out_of_range);
    EXPECT_EQ(m_owner.calls.find("status "), std::string::npos) << m_owner.calls;
    WriteBytes(m_path, "a A 0\r\n");
    Open(m_path);
    EditOutside(m_path, "\r\nnotes\r\n");
    Reply("A");
    EXPECT_EQ(m_owner.status, "今回 1問中 1問正解　未正解 0/0問");
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
        EXPECT_EQ(m_owner.question, "犬");
        Reply(reply);
        m_session.ShowNextQuestion();
    }
    EXPECT_EQ(m_owner.number, Number(4));
    Open(m_path);
    EXPECT_EQ(ReadBytes(m_path), Cp932("猫 cat 3\r\n犬 dog 2\r\n"));
    EXPECT_EQ(m_owner.number, Number(1));
    Take();
    Reply("dog"); // judged and shown against the question on show, not the first one
    EXPECT_EQ(Take(), Checked("dog", true, "今回 1問中 1問正解　全問正解済み"));

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

TEST_F(Session, DrillsInEitherEncodingWithUtf8Texts) {
    const struct {
        const char* name;
        std::string file, question, answer, saved;
    } cases[] = {
        {"code page 932", Cp932("犬 いぬ 0\r\n"), "犬", "いぬ", Cp932("犬 いぬ 1\r\n")},
        {"UTF-8", "犬 いぬ 0\n", "犬", "いぬ", "犬 いぬ 1\n"},
        {"UTF-8 beyond code page 932", "한국 서울 0\n", "한국", "서울", "한국 서울 1\n"},
        // Linux input methods type U+301C where the code page has 81 60 (U+FF5E).
        {"code page 932, wave dash typed", "\x94\x67 \x81\x60 0\r\n", "波", "〜",
         "\x94\x67 \x81\x60 1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(m_path, c.file);
        Open(m_path);
        EXPECT_EQ(m_owner.question, c.question);
        Take();
        for (const char* wrong : {"🍎", "é", ""}) {
            Reply(wrong); // no form in the file's encoding, or simply not the answer
            EXPECT_NE(Take().find("wrong 1"), std::string::npos) << wrong;
            m_session.ShowNextQuestion();
            Take();
        }
        Reply(c.answer);
        const std::string calls = Take();
        EXPECT_NE(calls.find("right 1"), std::string::npos);
        EXPECT_NE(calls.find("|answer 答え  "), std::string::npos);
        m_session.Save();
        EXPECT_EQ(ReadBytes(m_path), c.saved);
        m_session.Reset();
    }
}

TEST_F(Session, ASaveOfAFileChangedOutsideAddsTheRaisesToIt) {
    WriteBytes(m_path, "a A 0\r\nb B 5\r\nc C 5\r\na A 3\r\n");
    Open(m_path);
    Reply("A"); // the first a is the only one at 0, so it comes and comes again
    m_session.ShowNextQuestion();
    // b removed, new added, lines moved, the first a edited: the raise goes to
    // the first a, the second stays as the editor left it.
    EditOutside(m_path, "c C 5\r\nnew N 0\r\na A 4\r\na A 3 note\r\n");
    Reply("A"); // the question on show is that same line of the new content
    EXPECT_EQ(ReadBytes(m_path), "c C 5\r\nnew N 0\r\na A 5\r\na A 3 note\r\n");
    m_session.ShowNextQuestion(); // the drill goes on with the new content and numbering
    EXPECT_EQ(m_owner.question, "new");
    EXPECT_EQ(m_owner.number, Number(3));
    m_session.Save(); // nothing raised since: the file stays as it is
    EXPECT_EQ(ReadBytes(m_path), "c C 5\r\nnew N 0\r\na A 5\r\na A 3 note\r\n");
}

TEST_F(Session, AnOldCopyWrittenBackGetsThisRunsAnswersBack) {
    // Two right answers are on disk when the editor, which read the file
    // before the drill, writes its copy back.
    const struct {
        const char* name;
        std::string written, saved;
    } cases[] = {
        {"the old copy", "a A 0\r\nb B 7\r\n", "a A 3\r\nb B 7\r\n"},
        {"the old copy with a line added", "a A 0\r\nb B 7\r\nc C 0\r\n",
         "a A 3\r\nb B 7\r\nc C 0\r\n"},
        {"the old copy with the other count edited", "a A 0\r\nb B 2\r\n", "a A 3\r\nb B 2\r\n"},
        // Any other count is the learner's own: only the new answer is added.
        {"a count set by hand", "a A 10\r\nb B 7\r\n", "a A 11\r\nb B 7\r\n"},
        {"a count set back by hand to the saved one", "a A 2\r\nb B 7\r\n", "a A 3\r\nb B 7\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(m_path, "a A 0\r\nb B 7\r\n");
        Open(m_path);
        for (int i = 0; i < 2; ++i) {
            Reply("A");
            m_session.ShowNextQuestion();
        }
        ASSERT_EQ(ReadBytes(m_path), "a A 2\r\nb B 7\r\n");
        EditOutside(m_path, c.written);
        Reply("wrong"); // writes nothing, restores nothing
        EXPECT_EQ(ReadBytes(m_path), c.written);
        m_session.ShowNextQuestion();
        Reply("A");
        EXPECT_EQ(ReadBytes(m_path), c.saved);
        m_session.Reset();
    }
}

// Closing, opening another set and the session's end all save once more, with
// nothing left to write: an old copy written back after the last answer is undone.
TEST_F(Session, ASaveWithNothingPendingStillUndoesAnOldCopy) {
    WriteBytes(m_path, "a A 0\r\nb B 7\r\n");
    Open(m_path);
    for (int i = 0; i < 2; ++i) {
        Reply("A");
        m_session.ShowNextQuestion();
    }
    EditOutside(m_path, "a A 0\r\nb B 7\r\n");
    m_session.Save();
    EXPECT_EQ(ReadBytes(m_path), "a A 2\r\nb B 7\r\n");
    EditOutside(m_path, "a A 0\r\nb B\r\n"); // not readable at that moment: a failed save
    EXPECT_THROW(m_session.Save(), CpException);
    EXPECT_EQ(ReadBytes(m_path), "a A 0\r\nb B\r\n");
    EditOutside(m_path, "a A 0\r\nb B 8\r\n");
    m_session.Save();
    EXPECT_EQ(ReadBytes(m_path), "a A 2\r\nb B 8\r\n");
    EditOutside(m_path, "b B 8\r\n"); // the learner's own edit is kept as it is
    m_session.Save();
    EXPECT_EQ(ReadBytes(m_path), "b B 8\r\n");
}

TEST_F(Session, TwoSessionsOnOneFileKeepBothRunsInEitherOrder) {
    // Duplicates: each run's raise goes to the same occurrence again.
    WriteBytes(m_path, "a A 0\r\nz Z 9\r\na A 0\r\n");
    QuizSession other;
    QuestionPool::SeedRandom(7);
    Open(m_session, m_path);
    Open(other, m_path);
    int expected = 0;
    for (QuizSession* first : {&m_session, &other, &m_session}) {
        QuizSession* second = first == &m_session ? &other : &m_session;
        Reply(*first, "A");
        Reply(*second, "A");
        first->Save();
        second->Save();
        expected += 2;
        first->ShowNextQuestion();
        second->ShowNextQuestion();
        const auto saved = QuestionSetFile::Load(m_path);
        ASSERT_EQ(saved->Records().Size(), 3u);
        EXPECT_EQ(saved->Records().At(0)->GetCorrectCount() +
                      saved->Records().At(2)->GetCorrectCount(),
                  expected);
        EXPECT_EQ(saved->Records().At(1)->GetCorrectCount(), 9);
    }
}

TEST_F(Session, AFailedSaveIsToldOnceAndTriedAgainAtTheNextRightAnswer) {
    const std::string unreadable =
        "warning 問題集ファイルの保存に失敗しました。\n"
        "  -問題集ファイルが他のプログラムで変更されていて、読み込めません。\n"
        "  -問題集ファイル読み込みに失敗しました：2行目\n"
        "  -トークンが有りません。\n" +
        std::string(strings::kProgressKept) + "|";
    const auto warnings = [&] {
        std::string told;
        for (std::size_t at = 0; (at = m_owner.calls.find("warning ", at)) != std::string::npos;) {
            const std::size_t end = m_owner.calls.find('|', at) + 1;
            told += m_owner.calls.substr(at, end - at);
            at = end;
        }
        m_owner.calls.clear();
        return told;
    };
    WriteBytes(m_path, "a A 0\r\nb B 5\r\n");
    Open(m_path);
    EditOutside(m_path, "a A 0\r\nb B\r\n"); // half-way through an edit
    Reply("A");
    EXPECT_EQ(warnings(), unreadable);
    EXPECT_EQ(ReadBytes(m_path), "a A 0\r\nb B\r\n");
    m_session.ShowNextQuestion();
    Reply("A"); // tried again, silently
    EXPECT_EQ(warnings(), "");
    EXPECT_THROW(m_session.Save(), CpException); // closing still hears of it
    EditOutside(m_path, "a A 0\r\nb B 6\r\n");
    m_session.ShowNextQuestion();
    Reply("A");
    EXPECT_EQ(warnings(), "");
    EXPECT_EQ(ReadBytes(m_path), "a A 3\r\nb B 6\r\n");

    // Taken over, then not writable: the drill goes on with what was read,
    // and a new failure after a good save is told again.
    m_session.ShowNextQuestion();
    EditOutside(m_path, "a A 5\r\nc C 9\r\n");
    std::filesystem::permissions(PathOf(m_path), std::filesystem::perms::owner_read);
    Reply("A");
    EXPECT_EQ(warnings(), "warning 問題集ファイルの保存に失敗しました。\n  -" +
                              std::string(strings::kReasonNotAllowed) + "\n" +
                              std::string(strings::kProgressKept) + "|");
    m_session.ShowNextQuestion();
    Reply("A"); // tried again, silently
    EXPECT_EQ(ReadBytes(m_path), "a A 5\r\nc C 9\r\n");
    std::filesystem::permissions(PathOf(m_path), std::filesystem::perms::owner_all);
    m_session.ShowNextQuestion();
    Reply("A"); // writable again: saved with the answer
    EXPECT_EQ(ReadBytes(m_path), "a A 8\r\nc C 9\r\n");
    EXPECT_EQ(warnings(), "");
}

TEST_F(Session, AReadOnlySetIsNeverTried) {
    WriteBytes(m_path, "a A 0\r\n");
    std::filesystem::permissions(PathOf(m_path), std::filesystem::perms::owner_read);
    Open(m_path);
    Reply("A");
    EXPECT_EQ(m_owner.calls.find("warning"), std::string::npos);
    std::filesystem::permissions(PathOf(m_path), std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(m_path), "a A 0\r\n");
}

} // namespace

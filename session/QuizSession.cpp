#include "session/QuizSession.h"

#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "questions/TokenReader.h"
#include "res/Colors.h"
#include "res/Strings.h"
#include "session/NearMiss.h"
#include "session/QuestionPool.h"
#include "session/QuizOwner.h"

#include <exception>
#include <limits>
#include <utility>

QuizOwner* QuizSession::s_owner = nullptr;

QuizSession::QuizSession() = default;

QuizSession::~QuizSession() {
    ReleaseSet();
}

void QuizSession::SetOwner(QuizOwner* owner) {
    s_owner = owner;
}

void QuizSession::Save() {
    if (!m_file) {
        return;
    }
    // A save may take over the records of a file changed by another program,
    // even one that then fails to write; the drill goes on with those, from
    // the same question if it is still there.
    const auto replaced = m_file->Replaced();
    const auto followReplaced = [&] {
        if (m_file->Replaced() != replaced) {
            m_current = m_file->Followed();
            m_pool = std::make_unique<QuestionPool>(m_file->Records());
            m_unanswered = CountUnanswered();
            if (!m_status.empty()) {
                ShowStatus(); // the learner's edits may have changed what is left
            }
        }
    };
    m_file->Follow(m_current);
    try {
        m_file->Save();
    } catch (...) {
        followReplaced();
        throw;
    }
    followReplaced();
}

bool QuizSession::HasQuestions() const {
    return m_file && m_file->Records().Size() > 0;
}

bool QuizSession::IsSetWritable() const {
    return m_file && m_file->IsWritable();
}

void QuizSession::ReleaseSet() {
    // The pool lists the set's records, so it goes first.
    m_pool.reset();
    m_file.reset();
    m_current = nullptr;
}

void QuizSession::Reset() {
    ReleaseSet();
    m_shownCount = 0;
    m_saveFailureTold = false;
    m_checked = 0;
    m_right = 0;
    m_unanswered = 0;
    m_status.clear();
}

void QuizSession::Load(std::string path) {
    auto file = QuestionSetFile::Load(std::move(path));
    ReleaseSet(); // normally done by Reset already; never leave the pool on a dead set
    m_file = std::move(file);
    m_pool = std::make_unique<QuestionPool>(m_file->Records());
    m_unanswered = CountUnanswered();
}

void QuizSession::ShowNextQuestion() {
    if (!m_pool || !s_owner) {
        return;
    }
    // Picked before the focus moves, so that a screen reader hears the number
    // and the question as the focus lands in the answer box. An empty set
    // still leaves the box enabled and focused, as before.
    Question* next = nullptr;
    std::exception_ptr failure;
    try {
        next = m_pool->PickNext();
    } catch (...) {
        failure = std::current_exception();
    }
    const int shown =
        m_shownCount < std::numeric_limits<int>::max() ? m_shownCount + 1 : m_shownCount;
    const std::string number = strings::kNumberPrefix + IntToString(shown) + strings::kNumberSuffix;
    std::string question;
    if (next) {
        question = m_file->Records().ToText(next->GetQuestion());
        s_owner->SetAnswerBoxDescription(number + strings::kSpokenBreak + question);
    }
    s_owner->EnableAnswerBox(true);
    s_owner->FocusAnswerBox();
    s_owner->EnableNextButton(false);
    if (failure) {
        std::rethrow_exception(failure);
    }
    m_current = next;
    s_owner->SetQuestionText(question);
    s_owner->SetAnswerText(std::string());
    s_owner->SetAnswerTextColor(colors::kWhite);
    s_owner->SetHintText(std::string());
    s_owner->SetAnswerDescription(std::string());
    s_owner->SetAnswerBoxText(std::string());
    m_shownCount = shown;
    s_owner->SetNumberText(number);
    s_owner->ShowRightMark(false);
    s_owner->ShowWrongMark(false);
    ShowStatus(); // the first question of a set brings it up
}

void QuizSession::CheckAnswer() {
    if (!m_current || !s_owner) {
        return;
    }
    // Judged before the focus moves, so that a screen reader hears the result
    // as the focus lands on the button. The reply in the file's own bytes,
    // compared byte for byte; a reply with a character the file cannot hold
    // is simply wrong.
    const std::string replyText = s_owner->GetAnswerBoxText();
    std::string reply;
    const bool right =
        m_file->Records().ToBytes(replyText, reply) && m_current->IsCorrect(std::move(reply));
    const std::string answer = m_file->Records().ToText(m_current->GetAnswer());
    const std::string answerLine = strings::kAnswerPrefix + answer;
    const std::string hint =
        right ? std::string() : NearMiss::Hint(NearMiss::Find(answer, replyText));
    const char* const result = right ? strings::kRightName : strings::kWrongName;
    s_owner->SetNextButtonDescription(
        result + (strings::kSpokenBreak + answerLine) +
        (hint.empty() ? std::string() : strings::kSpokenBreak + hint));
    s_owner->EnableNextButton(true);
    s_owner->FocusNextButton();
    s_owner->EnableAnswerBox(false);
    s_owner->SetAnswerText(answerLine);
    s_owner->SetAnswerTextColor(right ? colors::kLightBlue : colors::kLightRed);
    s_owner->SetHintText(hint);
    s_owner->SetAnswerDescription(result);
    ++m_checked;
    if (right) {
        ++m_right;
        s_owner->ShowRightMark(true);
        if (m_current->GetCorrectCount() == 0 && m_unanswered > 0) {
            --m_unanswered;
        }
        m_current->AddCorrect();
        SaveProgress();
    } else {
        s_owner->ShowWrongMark(true);
    }
    ShowStatus();
}

std::size_t QuizSession::CountUnanswered() const {
    std::size_t unanswered = 0;
    for (const Question* record : m_file->Records().List()) {
        unanswered += record->GetCorrectCount() == 0;
    }
    return unanswered;
}

void QuizSession::ShowStatus() {
    if (!m_file || !s_owner) {
        return;
    }
    const std::size_t size = m_file->Records().Size();
    std::string status = strings::kStatusRunBefore + std::to_string(m_checked) +
                         strings::kStatusRunMiddle + std::to_string(m_right) +
                         strings::kStatusRunAfter + strings::kStatusGap;
    // A set with no question left has none answered either.
    if (m_unanswered == 0 && size > 0) {
        status += strings::kStatusAllRight;
    } else {
        status += strings::kStatusUnansweredBefore + std::to_string(m_unanswered) +
                  strings::kStatusUnansweredMiddle + std::to_string(size) +
                  strings::kStatusUnansweredAfter;
    }
    if (status != m_status) {
        m_status = std::move(status);
        s_owner->SetStatusText(m_status);
    }
}

void QuizSession::SaveProgress() {
    if (!m_file->IsWritable()) {
        return; // the learner was told when the set was opened
    }
    std::string problem;
    try {
        Save();
        m_saveFailureTold = false;
        return;
    } catch (const CpException& error) {
        problem = error.BuildMessage();
    } catch (...) {
        problem = std::string(strings::kUnexpectedError) + "\n";
    }
    // The raise stays in memory for the next save; a learner who was told
    // already is not stopped again at every right answer.
    if (!m_saveFailureTold) {
        m_saveFailureTold = true;
        s_owner->ShowWarning(problem + strings::kProgressKept);
    }
}

#include "session/QuizSession.h"

#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "questions/TokenReader.h"
#include "res/Colors.h"
#include "res/Strings.h"
#include "session/QuizOwner.h"

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
    if (!m_set) {
        return;
    }
    // A save may take over the records of a file changed by another program,
    // even one that then fails to write; the drill goes on with those, from
    // the same question if it is still there.
    const auto replaced = m_set->Replaced();
    const auto followReplaced = [&] {
        if (m_set->Replaced() != replaced) {
            m_current = m_set->Followed();
            m_pool = std::make_unique<QuestionSet>(m_set.get());
        }
    };
    m_set->Follow(m_current);
    try {
        m_set->Save();
    } catch (...) {
        followReplaced();
        throw;
    }
    followReplaced();
}

bool QuizSession::HasQuestions() const {
    return m_set && m_set->Size() > 0;
}

bool QuizSession::IsSetWritable() const {
    return m_set && m_set->IsWritable();
}

void QuizSession::ReleaseSet() {
    // The pool shares the set's records, so it goes first.
    m_pool.reset();
    m_set.reset();
    m_current = nullptr;
}

void QuizSession::Reset() {
    ReleaseSet();
    m_shownCount = 0;
    m_saveFailureTold = false;
}

void QuizSession::Load(std::string path) {
    auto set = LoadQuestionSet(std::move(path));
    ReleaseSet(); // normally done by Reset already; never leave the pool on a dead set
    m_set = std::move(set);
    m_pool = std::make_unique<QuestionSet>(m_set.get());
}

void QuizSession::ShowNextQuestion() {
    if (!m_pool || !s_owner) {
        return;
    }
    s_owner->EnableAnswerBox(true);
    s_owner->FocusAnswerBox();
    s_owner->EnableNextButton(false);
    m_current = m_pool->PickNext();
    s_owner->SetQuestionText(m_set->ToText(m_current->GetQuestion()));
    s_owner->SetAnswerText(std::string());
    s_owner->SetAnswerTextColor(colors::kWhite);
    s_owner->SetAnswerDescription(std::string());
    s_owner->SetAnswerBoxText(std::string());
    if (m_shownCount < std::numeric_limits<int>::max()) {
        ++m_shownCount;
    }
    s_owner->SetNumberText(strings::kNumberPrefix + IntToString(m_shownCount) +
                           strings::kNumberSuffix);
    s_owner->ShowRightMark(false);
    s_owner->ShowWrongMark(false);
}

void QuizSession::CheckAnswer() {
    if (!m_current || !s_owner) {
        return;
    }
    s_owner->EnableNextButton(true);
    s_owner->FocusNextButton();
    s_owner->EnableAnswerBox(false);
    // The reply in the file's own bytes, compared byte for byte. A reply with
    // a character the file cannot hold is simply wrong.
    std::string reply;
    const bool right = m_set->ToBytes(s_owner->GetAnswerBoxText(), reply) &&
                       m_current->IsCorrect(std::move(reply));
    s_owner->SetAnswerText(strings::kAnswerPrefix + m_set->ToText(m_current->GetAnswer()));
    s_owner->SetAnswerTextColor(right ? colors::kLightBlue : colors::kLightRed);
    s_owner->SetAnswerDescription(right ? strings::kRightName : strings::kWrongName);
    if (right) {
        s_owner->ShowRightMark(true);
        m_current->AddCorrect();
        SaveProgress();
    } else {
        s_owner->ShowWrongMark(true);
    }
}

void QuizSession::SaveProgress() {
    if (!m_set->IsWritable()) {
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

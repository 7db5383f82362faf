#include "session/QuizSession.h"

#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "questions/TokenReader.h"
#include "session/QuizOwner.h"

#include <limits>
#include <utility>

namespace {

// Code page 932 texts of the drill.
constexpr char kNumberPrefix[] = "\x91\xe6";           // 第
constexpr char kNumberSuffix[] = "\x96\xe2";           // 問
constexpr char kAnswerPrefix[] = "\x93\x9a\x82\xa6  "; // 答え and two spaces

constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kLightBlue = Rgb(180, 180, 255);
constexpr Color kLightRed = Rgb(255, 100, 100);

} // namespace

QuizOwner* QuizSession::s_owner = nullptr;

QuizSession::QuizSession() = default;

QuizSession::~QuizSession() {
    ReleaseSet();
}

void QuizSession::SetOwner(QuizOwner* owner) {
    s_owner = owner;
}

void QuizSession::Save() {
    if (m_set) {
        m_set->Save();
    }
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
    s_owner->SetQuestionText(m_current->GetQuestion());
    s_owner->SetAnswerText(std::string());
    s_owner->SetAnswerTextColor(kWhite);
    s_owner->SetAnswerBoxText(std::string());
    if (m_shownCount < std::numeric_limits<int>::max()) {
        ++m_shownCount;
    }
    s_owner->SetNumberText(kNumberPrefix + IntToString(m_shownCount) + kNumberSuffix);
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
    const std::string reply = s_owner->GetAnswerBoxText();
    const bool right = m_current->IsCorrect(reply);
    s_owner->SetAnswerText(kAnswerPrefix + m_current->GetAnswer());
    if (right) {
        s_owner->SetAnswerTextColor(kLightBlue);
        s_owner->ShowRightMark(true);
        m_current->AddCorrect();
    } else {
        s_owner->SetAnswerTextColor(kLightRed);
        s_owner->ShowWrongMark(true);
    }
}

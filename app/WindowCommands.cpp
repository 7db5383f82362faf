#include "app/WindowCommands.h"

#include "app/DrillWindow.h"
#include "questions/Cp932.h"
#include "questions/CpException.h"
#include "res/Colors.h"
#include "res/Strings.h"
#include "session/QuizSession.h"

#include <utility>

WindowCommands::WindowCommands(QuizSession& session, DrillWindow& window)
    : m_session(session), m_window(window) {}

void WindowCommands::CheckSystem() {
    if (!Cp932::IsAvailable()) {
        m_window.ShowWarning(strings::kNoCp932);
    }
}

void WindowCommands::OpenSet() {
    LearnerIsBack();
    std::string path;
    try {
        path = m_window.ChooseSetFile();
    } catch (...) {
        m_window.ShowWarning(strings::kUnexpectedError);
        return;
    }
    if (!path.empty()) {
        OpenSet(std::move(path));
    }
}

void WindowCommands::OpenSet(std::string path) {
    LearnerIsBack();
    // The set in use is saved first. A failed save never traps the learner
    // with this set: they may give this run's progress up and go on.
    if (!GoOnAfterFailedSave(strings::kOpenAnyway)) {
        return;
    }
    // From here a failure leaves no drill: the window goes back to its first
    // state, and a set that failed to show (an empty one) is dropped too.
    try {
        m_session.Reset();
        m_session.Load(std::move(path));
        m_session.ShowNextQuestion();
    } catch (const CpException& error) {
        ReturnToStart();
        m_window.ShowWarning(error.BuildMessage());
        return;
    } catch (...) {
        ReturnToStart();
        m_window.ShowWarning(strings::kUnexpectedError);
        return;
    }
    if (!m_session.IsSetWritable()) {
        m_window.ShowWarning(strings::kReadOnlySet);
    }
}

void WindowCommands::CheckAnswer() {
    LearnerIsBack();
    Guarded([this] { m_session.CheckAnswer(); });
}

void WindowCommands::NextQuestion() {
    LearnerIsBack();
    if (m_session.HasSet() && !m_session.HasQuestions()) {
        // What a failed open leaves: nothing is lost, as the set holds no record.
        ReturnToStart();
        m_window.ShowWarning(strings::kUnexpectedError);
        return;
    }
    Guarded([this] { m_session.ShowNextQuestion(); });
}

template <typename Step> void WindowCommands::Guarded(Step step) {
    // Nothing of the toolkits' event loops may see an exception: it would end the program.
    try {
        step();
    } catch (const CpException& error) {
        m_window.ShowWarning(error.BuildMessage());
    } catch (...) {
        m_window.ShowWarning(strings::kUnexpectedError);
    }
}

bool WindowCommands::MayClose() {
    if (IsSessionEnding()) {
        SaveAtSessionEnd(); // nobody may be there to answer
        return true;
    }
    return GoOnAfterFailedSave(strings::kCloseAnyway);
}

bool WindowCommands::SaveAtSessionEnd() {
    try {
        m_session.Save();
        return true;
    } catch (...) {
        return false;
    }
}

SessionEndAnswer WindowCommands::QueryEndSession(const std::function<bool()>& mayAsk,
                                                 bool critical) {
    // Windows waits only seconds, and a session manager may let nobody ask:
    // the save asks nothing. GoOnAfterFailedSave saves once more and asks with
    // the failure's own message.
    if (SaveAtSessionEnd()) {
        m_end = EndState::Allowed;
    } else if (mayAsk()) {
        m_end = GoOnAfterFailedSave(strings::kCloseAnyway) ? EndState::Allowed : EndState::None;
    } else if (critical || m_end == EndState::HeldUp) {
        // Held up once already: the learner goes on anyway.
        m_end = EndState::Allowed;
    } else {
        m_end = EndState::HeldUp; // a chance to keep the progress
    }
    return m_end == EndState::Allowed ? SessionEndAnswer::Allow : SessionEndAnswer::HoldUp;
}

void WindowCommands::SessionEndCalledOff() {
    if (m_end == EndState::Allowed) {
        m_end = EndState::None;
    }
}

bool WindowCommands::GoOnAfterFailedSave(const char* question) {
    try {
        m_session.Save();
        return true;
    } catch (const CpException& error) {
        return m_window.AskYesNo(error.BuildMessage() + question);
    } catch (...) {
        return m_window.AskYesNo(std::string(strings::kUnexpectedError) + "\n" + question);
    }
}

void WindowCommands::ReturnToStart() {
    m_session.Reset();
    m_window.SetQuestionText(strings::kQuestionStart);
    m_window.SetAnswerText(strings::kAnswerStart);
    m_window.SetAnswerTextColor(colors::kWhite);
    m_window.SetHintText(std::string());
    m_window.SetAnswerDescription(std::string());
    m_window.SetAnswerBoxDescription(std::string());
    m_window.SetNextButtonDescription(std::string());
    m_window.SetNumberText(strings::kNumberStart);
    m_window.SetStatusText(std::string());
    m_window.SetAnswerBoxText(std::string());
    StopAsking();
}

void WindowCommands::StopAsking() {
    m_window.EnableNextButton(false);
    m_window.EnableAnswerBox(false);
    m_window.ClearFocus();
    m_window.ShowWrongMark(false);
    m_window.ShowRightMark(false);
}

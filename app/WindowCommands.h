#pragma once

#include <functional>
#include <string>

class DrillWindow;
class QuizSession;

// The window's answer when the desktop asks whether its session may end.
enum class SessionEndAnswer { Allow, HoldUp };

// What the main window does on its commands, on every toolkit: opening a set,
// a failed open, closing, a failed save and the end of the desktop session.
// The window turns a user action or a message of the desktop into one call
// here; the session then drives the window's controls.
class WindowCommands {
public:
    WindowCommands(QuizSession& session, DrillWindow& window);

    // At start-up, once the window is up: says so when a text table is missing.
    void CheckSystem();
    // File > open: choose a file, save the set in use, read the chosen one and
    // show its first question.
    void OpenSet();
    // The same for a file given without the dialog (dropped on the window):
    // every step after the choice.
    void OpenSet(std::string path);
    // Enter in the answer box: judges the reply (a right one is saved).
    void CheckAnswer();
    // The next-question button: asks the next question. A set left without
    // questions (emptied in an editor) ends the drill as a failed open does.
    void NextQuestion();
    // The close box, Alt+F4 and File > exit: saves the set in use. False when
    // the save failed and the learner keeps the window to keep the progress.
    // Once the desktop has been let end its session, asks nothing.
    bool MayClose();
    // The desktop session ends (logout, shutdown, a signal, an update's
    // restart): saves without asking anything, as nobody may be there to
    // answer. False when the save failed.
    bool SaveAtSessionEnd();
    // The desktop asks whether its session may end: saves without asking. A
    // failed save is put to the learner when `mayAsk` (called only then) says
    // someone may be asked; No holds the end up. Where nobody may be asked,
    // the end is held up once, for the desktop to say why, unless it is
    // `critical`: taking no refusal that the learner did not give. A command
    // of the learner's in between starts over: the learner is back.
    SessionEndAnswer QueryEndSession(const std::function<bool()>& mayAsk, bool critical);
    // The end asked about was called off: a close asks as ever again; a hold
    // given already counts.
    void SessionEndCalledOff();
    // The desktop has been let end the session, and the learner has done
    // nothing since: the close that follows asks nothing.
    bool IsSessionEnding() const { return m_end == EndState::Allowed; }
    // The controls as they are before any set is opened.
    void ReturnToStart();
    // Button and answer box disabled, nothing focused, both marks hidden.
    void StopAsking();

private:
    enum class EndState { None, HeldUp, Allowed };

    // The learner's own command: a session end asked about before is over.
    void LearnerIsBack() { m_end = EndState::None; }
    // Runs a session step; an error it lets out is shown, and the drill goes on.
    template <typename Step> void Guarded(Step step);
    // A failed save's message, then `question` (asks whether to go on anyway).
    bool GoOnAfterFailedSave(const char* question);

    QuizSession& m_session;
    DrillWindow& m_window;
    EndState m_end = EndState::None;
};

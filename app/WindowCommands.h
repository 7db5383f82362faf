#pragma once

#include <string>

class DrillWindow;
class QuizSession;

// What the main window does on its commands, on every toolkit: opening a set,
// a failed open, closing and a failed save. The window turns a user action
// into one call here; the session then drives the window's controls.
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
    bool MayClose();
    // The desktop session ends (logout, shutdown, a signal, an update's
    // restart): saves without asking anything, as nobody may be there to
    // answer. False when the save failed.
    bool SaveAtSessionEnd();
    // The controls as they are before any set is opened.
    void ReturnToStart();
    // Button and answer box disabled, nothing focused, both marks hidden.
    void StopAsking();

private:
    // Runs a session step; an error it lets out is shown, and the drill goes on.
    template <typename Step> void Guarded(Step step);
    // A failed save's message, then `question` (asks whether to go on anyway).
    bool GoOnAfterFailedSave(const char* question);

    QuizSession& m_session;
    DrillWindow& m_window;
};

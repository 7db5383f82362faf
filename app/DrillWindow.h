#pragma once

#include "session/QuizOwner.h"

#include <string>

// The main window as the shared window logic sees it: the controls the quiz
// session drives, and what only the toolkit can do (its dialogs, the focus).
// Texts are UTF-8.
class DrillWindow : public QuizOwner {
public:
    // The open-file dialog for question-set files: the chosen file's full
    // path, or an empty text when the learner cancels.
    virtual std::string ChooseSetFile() = 0;
    // A message box with Yes and No, the warning icon, No the default; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // No control of the window keeps the keyboard focus.
    virtual void ClearFocus() = 0;
};

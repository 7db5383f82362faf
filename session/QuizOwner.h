#pragma once

#include "res/Colors.h"

#include <string>

// What the quiz session needs of the window that shows it. Texts are UTF-8,
// both ways.
class QuizOwner {
public:
    virtual ~QuizOwner() = default;
    virtual void SetQuestionText(const std::string& text) = 0;
    virtual void SetAnswerText(const std::string& text) = 0;
    virtual void SetAnswerTextColor(Color color) = 0;
    virtual void SetNumberText(const std::string& text) = 0;
    // Where the set stands, beside the number; empty while no set is open.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetAnswerBoxText(const std::string& text) = 0;
    virtual std::string GetAnswerBoxText() = 0;
    virtual void EnableAnswerBox(bool enable) = 0;
    virtual void EnableNextButton(bool enable) = 0;
    virtual void ShowRightMark(bool show) = 0;
    virtual void ShowWrongMark(bool show) = 0;
    virtual void FocusAnswerBox() = 0;
    virtual void FocusNextButton() = 0;
    // What a screen reader says of the answer line besides its text: the
    // result in words after a check, empty otherwise.
    virtual void SetAnswerDescription(const std::string& text) = 0;
    // Below the answer, in its colour: why a wrong reply looks right. Empty
    // for none, and then nothing shows.
    virtual void SetHintText(const std::string& text) = 0;
    // What a screen reader says of the answer box and of the next-question
    // button besides their names, as the focus lands on them; set before the
    // focus moves.
    virtual void SetAnswerBoxDescription(const std::string& text) = 0;
    virtual void SetNextButtonDescription(const std::string& text) = 0;
    // A message box with only an OK button and the warning icon.
    virtual void ShowWarning(const std::string& text) = 0;
};

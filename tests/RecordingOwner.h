#pragma once

#include "session/QuizOwner.h"

#include <string>

namespace testsupport {

// Logs every call of the quiz session's owner interface, "|" after each; keeps
// the question, number and status shown, and gives `box` as the reply. Base is
// QuizOwner or an interface that extends it.
template <typename Base> class RecordingOwner : public Base {
public:
    void SetQuestionText(const std::string& t) override { Log("question " + (question = t)); }
    void SetAnswerText(const std::string& t) override { Log("answer " + t); }
    void SetAnswerTextColor(Color c) override { // red,green,blue
        Log("colour " + std::to_string(c & 0xFF) + "," + std::to_string(c >> 8 & 0xFF) + "," +
            std::to_string(c >> 16));
    }
    void SetNumberText(const std::string& t) override { Log("number " + (number = t)); }
    void SetStatusText(const std::string& t) override { Log("status " + (status = t)); }
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
    void SetAnswerDescription(const std::string& t) override { Log("description " + t); }
    void SetHintText(const std::string& t) override { Log("hint " + t); }
    void SetAnswerBoxDescription(const std::string& t) override { Log("box says " + t); }
    void SetNextButtonDescription(const std::string& t) override { Log("button says " + t); }
    void ShowWarning(const std::string& t) override { Log("warning " + t); }

    std::string calls, question, number, status, box;

protected:
    void Log(const std::string& call) { calls += call + "|"; }
};

} // namespace testsupport

#pragma once

#include <QLineEdit>

#include <string>

class QInputMethodEvent;
class QKeyEvent;

// The single-line box the learner types replies into; it exchanges its text as
// UTF-8. While an input method composes, Enter belongs to the
// input method: it confirms the composition and goes no further.
class CAnswerEdit : public QLineEdit {
public:
    explicit CAnswerEdit(QWidget* parent = nullptr);

    void SetText(const std::string& text);
    // The whole text as typed.
    std::string GetText() const;

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_composing = false;
};

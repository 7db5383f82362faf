#include "controls/CAnswerEdit.h"

#include "controls/Cp932.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

CAnswerEdit::CAnswerEdit(QWidget* parent) : QLineEdit(parent) {}

void CAnswerEdit::SetText(const std::string& text) {
    setText(Cp932::ToQString(text));
}

std::string CAnswerEdit::GetText() const {
    return Cp932::FromQString(text());
}

void CAnswerEdit::inputMethodEvent(QInputMethodEvent* event) {
    m_composing = !event->preeditString().isEmpty();
    QLineEdit::inputMethodEvent(event);
}

void CAnswerEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_composing) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

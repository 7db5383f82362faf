#include "controls/qt/CAnswerEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

CAnswerEdit::CAnswerEdit(QWidget* parent) : QLineEdit(parent) {}

void CAnswerEdit::SetText(const std::string& text) {
    setText(QString::fromStdString(text));
}

std::string CAnswerEdit::GetText() const {
    return text().toStdString();
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

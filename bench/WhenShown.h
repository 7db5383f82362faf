#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace bench {

// Runs the action once, on the event-loop turn after the widget's first paint:
// by then the window is on the screen (or, offscreen, in its backing store).
class WhenShown : public QObject {
public:
    WhenShown(QWidget& widget, std::function<void()> action)
        : m_widget(widget), m_action(std::move(action)) {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_widget && event->type() == QEvent::Paint) {
            m_widget.removeEventFilter(this);
            QTimer::singleShot(0, &m_widget, m_action);
        }
        return false;
    }

private:
    QWidget& m_widget;
    std::function<void()> m_action;
};

} // namespace bench

#pragma once

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QWidget>
#include <functional>

// A label has no click of its own: this calls `onClick` when the left button goes up over
// the widget it watches, as a button's click does.
class ClickFilter final : public QObject {
public:
    ClickFilter(QWidget* target, std::function<void()> onClick)
        : QObject(target), m_target(target), m_onClick(std::move(onClick)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_target && event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                m_target->rect().contains(mouse->position().toPoint()))
                m_onClick();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_target;
    std::function<void()> m_onClick;
};

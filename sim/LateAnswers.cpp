#include "LateAnswers.h"

#include <chrono>

LateAnswers::LateAnswers(QObject* parent) : QObject(parent) {
    // A coarse timer may fire a little early, and an answer promised 3 s late must not come
    // after 2.9 s.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LateAnswers::sendDue);
}

void LateAnswers::post(int delayMs, std::function<void()> send) {
    if (delayMs <= 0 && m_waiting.empty()) {
        send();
        return;
    }
    m_waiting.push_back({QDeadlineTimer(delayMs, Qt::PreciseTimer), std::move(send)});
    if (!m_timer.isActive())
        armForNext();
}

void LateAnswers::sendDue() {
    while (!m_waiting.empty() && m_waiting.front().due.hasExpired()) {
        const auto send = std::move(m_waiting.front().send);
        m_waiting.pop_front();
        send();
    }
    armForNext();
}

void LateAnswers::armForNext() {
    if (m_waiting.empty())
        return;
    // Rounded up: a timer armed for the whole milliseconds left would wake just short of the
    // deadline and have to wait again.
    m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(
        m_waiting.front().due.remainingTimeAsDuration()));
}

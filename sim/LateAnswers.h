#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// Answers held back on purpose, to play a server that is slow to reply. Each goes out a set
// time after its request, but never before an answer asked for earlier: a slow server is
// still an orderly one, also when the delay is shortened while answers wait.
class LateAnswers : public QObject {
    Q_OBJECT
public:
    explicit LateAnswers(QObject* parent = nullptr);

    // Runs `send` after `delayMs`; at once when nothing waits and the delay is 0. The answer
    // is composed by `send` itself, so it tells how things stand when it leaves.
    void post(int delayMs, std::function<void()> send);

private:
    void sendDue();
    void armForNext();

    struct Waiting {
        QDeadlineTimer due;
        std::function<void()> send;
    };
    std::deque<Waiting> m_waiting;
    QTimer m_timer;
};

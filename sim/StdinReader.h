#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Lines typed on standard input, delivered by the event loop so the server keeps running
// while nobody types. When standard input ends (closed, /dev/null, a finished pipe) the
// reader falls quiet and the simulator goes on serving.
class StdinReader : public QObject {
    Q_OBJECT
public:
    // A line longer than this is nobody's command; it is dropped.
    static constexpr qsizetype kMaxLine = 4096;

    explicit StdinReader(QObject* parent = nullptr);

signals:
    void lineRead(const QString& line);
    void finished();

private:
    void readAvailable();
    void stop();

    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_pending;
    bool m_overlong = false;
};

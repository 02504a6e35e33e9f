#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

// Lines typed on standard input, delivered by the event loop so the server keeps running
// while nobody types. When standard input ends (closed, /dev/null, a finished pipe) the
// reader falls quiet and the simulator goes on serving.
//
// On Windows neither a console nor a pipe can be watched by the event loop, so a thread of
// its own waits on standard input there and hands each piece read to the reader.
class StdinReader : public QObject {
    Q_OBJECT
public:
    // A line longer than this is nobody's command; it is dropped.
    static constexpr qsizetype kMaxLine = 4096;

    explicit StdinReader(QObject* parent = nullptr);
    ~StdinReader() override;

signals:
    void lineRead(const QString& line);
    void finished();

private:
    void consume(const QByteArray& bytes);
    void stop();

#ifdef Q_OS_WIN
    struct Inbox;
    std::shared_ptr<Inbox> m_inbox;
#else
    void readAvailable();
    QSocketNotifier* m_notifier = nullptr;
#endif
    QByteArray m_pending;
    bool m_overlong = false;
};

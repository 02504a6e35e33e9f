#include "StdinReader.h"

#ifdef Q_OS_WIN
#include <QMutex>
#include <thread>
#include <windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

// What the reading thread shares with the reader. The thread cannot be woken from a read
// that waits for a line nobody types, so it is never joined: it outlives the reader and
// learns here that nobody takes its pieces any more. The process ending takes it along.
struct StdinReader::Inbox {
    QMutex mutex;
    StdinReader* reader = nullptr;
};

StdinReader::StdinReader(QObject* parent) : QObject(parent), m_inbox(std::make_shared<Inbox>()) {
    m_inbox->reader = this;
    std::thread([inbox = m_inbox] {
        const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
        char buffer[4096];
        for (;;) {
            DWORD got = 0;
            const bool read = in != nullptr && in != INVALID_HANDLE_VALUE &&
                              ::ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0;
            QMutexLocker lock(&inbox->mutex);
            StdinReader* reader = inbox->reader;
            if (!reader)
                return;
            // Queued to the reader's thread; dropped by Qt if the reader goes first.
            if (!read) {
                QMetaObject::invokeMethod(
                    reader, [reader] { reader->stop(); }, Qt::QueuedConnection);
                return;
            }
            QMetaObject::invokeMethod(
                reader, [reader, bytes = QByteArray(buffer, got)] { reader->consume(bytes); },
                Qt::QueuedConnection);
        }
    }).detach();
}

StdinReader::~StdinReader() {
    QMutexLocker lock(&m_inbox->mutex);
    m_inbox->reader = nullptr;
}

#else

StdinReader::StdinReader(QObject* parent) : QObject(parent) {
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StdinReader::readAvailable);
}

StdinReader::~StdinReader() = default;

void StdinReader::readAvailable() {
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        m_notifier->setEnabled(false);
        stop();
        return;
    }
    consume(QByteArray(buffer, got));
}

#endif

void StdinReader::consume(const QByteArray& bytes) {
    m_pending.append(bytes);
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        // trimmed() also takes the CR of a Windows line end.
        if (!m_overlong)
            emit lineRead(QString::fromLocal8Bit(line).trimmed());
        m_overlong = false;
    }
    if (m_pending.size() > kMaxLine) {
        m_pending.clear();
        m_overlong = true;
    }
}

void StdinReader::stop() {
    if (!m_pending.isEmpty() && !m_overlong)
        emit lineRead(QString::fromLocal8Bit(m_pending).trimmed());
    m_pending.clear();
    emit finished();
}

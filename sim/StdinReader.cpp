#include "StdinReader.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

StdinReader::StdinReader(QObject* parent) : QObject(parent) {
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StdinReader::readAvailable);
}

void StdinReader::readAvailable() {
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        stop();
        return;
    }
    m_pending.append(buffer, got);
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
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
    m_notifier->setEnabled(false);
    if (!m_pending.isEmpty() && !m_overlong)
        emit lineRead(QString::fromLocal8Bit(m_pending).trimmed());
    m_pending.clear();
    emit finished();
}

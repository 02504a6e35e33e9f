#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifndef Q_OS_WIN
QString lockFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}
#endif

// Where a running instance listens: per user, as the lock is. A name in the shared /tmp
// would let the first user's instance take it from every other user's.
QString serverName(const QString& name) {
#ifdef Q_OS_WIN
    // Pipe names are machine-wide; the user and the session make them ours.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return name + QLatin1Char('-') + qEnvironmentVariable("USERNAME") + QLatin1Char('-') +
           QString::number(session);
#else
    return lockFolder() + QLatin1Char('/') + name + QStringLiteral(".socket");
#endif
}

} // namespace

QString InstanceGuard::nameFor(const QString& commandLineText) {
    const QByteArray id = (QStringLiteral("TorvanelClient") + commandLineText).toUtf8();
    return QStringLiteral("TorvanelClient-") +
           // Half a digest is plenty to tell texts apart, and keeps the socket's path within
           // the hundred-odd bytes a local socket's name may have.
           QString::fromLatin1(
               QCryptographicHash::hash(id, QCryptographicHash::Sha256).toHex().left(32));
}

InstanceGuard::InstanceGuard(const QString& commandLineText, QObject* parent)
    : QObject(parent), m_name(nameFor(commandLineText)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            emit activationRequested();
            peer->disconnectFromServer();
        }
    });
}

InstanceGuard::~InstanceGuard() {
#ifdef Q_OS_WIN
    if (m_mutex)
        CloseHandle(m_mutex);
#endif
}

bool InstanceGuard::tryAcquire() {
    if (!tryLock())
        return false;
    listen();
    return true;
}

bool InstanceGuard::tryLock() {
#ifdef Q_OS_WIN
    // A named object lives exactly as long as a process holds it, so a crashed client never
    // leaves it behind. A lock file is judged stale by its process id, which Windows soon
    // hands out again: a client started after a crash (or a power cut, from the Startup
    // folder) could draw the dead one's id and be refused by its own ghost. Named as the
    // pipe is, for the user and the session.
    const std::wstring mutexName = (QStringLiteral("Local\\") + serverName(m_name)).toStdWString();
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
        if (mutex)
            CloseHandle(mutex);
        return false;
    }
    // Without the object (no resources) the program still starts: the watch matters more.
    m_mutex = mutex;
    m_holdsName = true;
#else
    auto lock = std::make_unique<QLockFile>(lockFolder() + QLatin1Char('/') + m_name + ".lock");
    // A lock left by a crashed instance is recognised by its dead process id, not by age.
    lock->setStaleLockTime(0);
    // Its id may have gone to a live process of the same name meanwhile; the lock is then
    // still judged held. A live holder also holds the file's own lock, which ends with its
    // process: only a file nobody holds can be taken away here.
    bool locked = lock->tryLock(0);
    if (!locked && lock->error() == QLockFile::LockFailedError && lock->removeStaleLockFile())
        locked = lock->tryLock(0);
    if (!locked) {
        // Only another instance holding the lock refuses the start; a runtime folder we
        // cannot write to must not lock the operator out of the program.
        if (lock->error() == QLockFile::LockFailedError)
            return false;
        return true;
    }
    m_lock = std::move(lock);
    m_holdsName = true;
#endif
    return true;
}

void InstanceGuard::listen() {
    // Started without the lock (a runtime folder we cannot write to), we own no name.
    if (!m_holdsName)
        return;
    // A socket file left behind by a crash would make listen() fail; we own the name now.
    QLocalServer::removeServer(serverName(m_name));
    m_server.listen(serverName(m_name));
}

bool InstanceGuard::askRunningToActivate(int timeoutMs) const {
#ifdef Q_OS_WIN
    // Windows lets only the program the user just started take the foreground; this start
    // hands that right on, or the running window would merely flash in the taskbar.
    AllowSetForegroundWindow(ASFW_ANY);
#endif
    QLocalSocket socket;
    socket.connectToServer(serverName(m_name));
    // Being reached is the whole message; the socket closes as it goes.
    return socket.waitForConnected(timeoutMs);
}

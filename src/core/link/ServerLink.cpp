#include "core/link/ServerLink.h"

#include "wire/Frames.h"

#include <utility>

ServerLink::ServerLink(int connectTimeoutMs, QObject* parent) : ServerWire(parent) {
    m_connectLimit.setSingleShot(true);
    m_connectLimit.setInterval(connectTimeoutMs);
    connect(&m_connectLimit, &QTimer::timeout, this, &ServerLink::connectTimedOut);
    connect(&ClientZuServer, &QAbstractSocket::connected, this, &ServerLink::ClientZuServerConnect);
    connect(&ClientZuServer, &QAbstractSocket::disconnected, this,
            &ServerLink::ClientZuServerDisconnect);
    connect(&ClientZuServer, &QAbstractSocket::errorOccurred, this,
            &ServerLink::ClientZuServerError);
    connect(&ClientZuServer, &QIODevice::readyRead, this, &ServerLink::ClientZuServerRead);
}

ServerLink::~ServerLink() {
    // A socket torn down while connected still reports its disconnect; nobody is listening.
    disconnect(&ClientZuServer, nullptr, this, nullptr);
}

void ServerLink::setHostAndPort(const QString& host, int port) {
    m_host = host;
    m_port = port;
}

void ServerLink::OpenConnection() {
    // At most one connection: an attempt under way is left to finish.
    if (m_connectLimit.isActive())
        return;
    // After an error the socket may still hold a half-dead connection; start afresh.
    if (ClientZuServer.state() != QAbstractSocket::UnconnectedState)
        ClientZuServer.abort();
    // A port no socket can use is the administrator's to mend; say so instead of trying.
    if (m_port < 1 || m_port > 65535) {
        emit statusChanged(QStringLiteral("Server ") + m_host + QStringLiteral(" FEHLER! Port ") +
                           QString::number(m_port) + QStringLiteral(" ungültig"));
        return;
    }
    // Every attempt begins with the search, shown before the socket can report anything, so
    // that the status line reads the same on every platform whatever states Qt passes
    // through on its way to the outcome.
    ClientZuServerLookup();
    // Started first: a failure reported from inside connectToHost must find it running.
    m_connectLimit.start();
    ClientZuServer.connectToHost(m_host, quint16(m_port));
}

bool ServerLink::Send(const QByteArray& frame) {
    if (ClientZuServer.state() != QAbstractSocket::ConnectedState ||
        ClientZuServer.write(frame) != frame.size())
        return false;
    // Out now, not at the next turn of the event loop: a quit may end it before then.
    ClientZuServer.flush();
    return true;
}

void ServerLink::ClientZuServerLookup() {
    emit statusChanged(QStringLiteral("Suche Server ") + m_host);
}

void ServerLink::ClientZuServerConnect() {
    m_connectLimit.stop();
    // A frame torn off by the end of the last connection would swallow the first one of this.
    ReceiveBuffer.clear();
    emit statusChanged(QStringLiteral(" Server ") + m_host + QStringLiteral(" OK!"));
    setConnected(true);
}

void ServerLink::ClientZuServerDisconnect() {
    // Up to a megabyte of a frame that can no longer be finished; not kept while we are down.
    ReceiveBuffer.clear();
    emit statusChanged(QStringLiteral(" kein Server! ") + m_host);
    setConnected(false);
}

void ServerLink::ClientZuServerError(QAbstractSocket::SocketError error) {
    // The peer closing the link is reported by the disconnect that follows, not as a failure.
    if (error == QAbstractSocket::RemoteHostClosedError &&
        ClientZuServer.state() == QAbstractSocket::ConnectedState)
        return;
    m_connectLimit.stop();
    emit statusChanged(QStringLiteral("Server ") + m_host + QStringLiteral(" FEHLER!"));
    setConnected(false);
}

void ServerLink::setConnected(bool connected) {
    if (std::exchange(Connected, connected) != connected)
        emit connectedChanged(connected);
}

void ServerLink::ClientZuServerRead() {
    const QList<QByteArray> complete = ReceiveBuffer.feed(ClientZuServer.readAll());
    for (const QByteArray& frame : complete) {
        const QByteArrayView tag = frames::tagOf(frame);
        if (tag == frames::kTable)
            emit tableReceived(frame);
        else if (tag == frames::kHeartbeat || tag == frames::kHeartbeatAlarmOff)
            emit heartbeatReceived(readHeartbeat(frame));
    }
}

void ServerLink::connectTimedOut() {
    // A host that drops our packets leaves the attempt hanging until the system gives up,
    // minutes later; given up now, the watch's next tick can try again. Aborting an attempt
    // reports nothing, so the failure is reported here.
    ClientZuServer.abort();
    ClientZuServerError(QAbstractSocket::SocketTimeoutError);
}

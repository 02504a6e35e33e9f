#include "ClientConnection.h"

#include "SimLog.h"

#include <QTcpSocket>

ClientConnection::ClientConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket),
      m_peer(
          QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &ClientConnection::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this, &ClientConnection::finish);
}

void ClientConnection::send(const QByteArray& frame) {
    // A late answer may fall due after the peer hung up and before we let go of it.
    if (m_closing || m_finished)
        return;
    m_socket->write(frame);
    if (m_socket->bytesToWrite() > kMaxBacklog) {
        qCWarning(lcSim).noquote() << m_peer << "does not read its answers; connection cut";
        m_closing = true;
        m_socket->abort();
        finish();
    }
}

void ClientConnection::close() {
    m_closing = true;
    m_socket->disconnectFromHost();
}

void ClientConnection::readAvailable() {
    const auto complete = m_reader.feed(m_socket->readAll());
    for (const QByteArray& frame : complete) {
        if (m_closing)
            return;
        emit frameReceived(this, frame);
    }
}

void ClientConnection::finish() {
    if (m_finished)
        return;
    m_finished = true;
    emit closed(this);
}

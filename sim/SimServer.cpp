#include "SimServer.h"

#include "ClientConnection.h"
#include "Heartbeat.h"
#include "Requests.h"
#include "SimLog.h"
#include "TableStore.h"
#include "wire/Frames.h"

#include <QTcpSocket>

SimServer::SimServer(TableStore& store, QObject* parent) : QObject(parent), m_store(store) {
    connect(&m_server, &QTcpServer::newConnection, this, &SimServer::accept);
}

bool SimServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    if (m_server.listen(address, port))
        return true;
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(address.toString())
                 .arg(port)
                 .arg(m_server.errorString());
    return false;
}

void SimServer::dropAll() {
    // Closing may finish a connection at once and shrink the list under us.
    const auto clients = m_clients;
    for (ClientConnection* client : clients)
        client->close();
}

void SimServer::sendUnaskedHeartbeats(int count) {
    // A client cut off for not reading its answers leaves the list while we go through it.
    const auto clients = m_clients;
    for (ClientConnection* client : clients)
        for (int i = 0; i < count; ++i)
            reply(client, heartbeatAnswer(m_state));
}

void SimServer::sendUnaskedTable() {
    const auto clients = m_clients;
    for (ClientConnection* client : clients)
        reply(client, tableAnswer());
}

void SimServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* client = new ClientConnection(socket, this);
        connect(client, &ClientConnection::frameReceived, this, &SimServer::handle);
        connect(client, &ClientConnection::closed, this, &SimServer::forget);
        m_clients.append(client);
        qCInfo(lcSim).noquote() << client->peer() << "connected";
        emit clientCountChanged(m_clients.size());
    }
}

void SimServer::forget(ClientConnection* client) {
    if (!m_clients.removeOne(client))
        return;
    qCInfo(lcSim).noquote() << client->peer() << "disconnected";
    client->deleteLater();
    emit clientCountChanged(m_clients.size());
}

void SimServer::handle(ClientConnection* client, const QByteArray& frame) {
    if (m_verbose)
        qCInfo(lcSim).noquote() << client->peer() << "<-" << printable(frame);

    const QByteArrayView tag = frames::tagOf(frame);
    // Requests left unanswered on purpose are only worth a line in the verbose log: the
    // client repeats them every few hundred milliseconds.
    if (tag == frames::kTableRequest) {
        if (!m_state.tableOff)
            client->lateTables().post(m_state.tableDelayMs,
                                      [this, client] { reply(client, tableAnswer()); });
        else if (m_verbose)
            qCInfo(lcSim).noquote() << client->peer() << "table request left unanswered";
    } else if (tag == frames::kHeartbeat) {
        if (!m_state.silent) {
            for (int i = m_state.repeat ? 2 : 1; i > 0; --i)
                client->lateHeartbeats().post(m_state.heartbeatDelayMs, [this, client] {
                    reply(client, heartbeatAnswer(m_state));
                });
        } else if (m_verbose)
            qCInfo(lcSim).noquote() << client->peer() << "heartbeat left unanswered";
    } else if (tag == frames::kSaveTable) {
        save(client, frame);
    } else if (tag == frames::kClearCharges) {
        clearCharges(client, frame);
    } else {
        qCWarning(lcSim).noquote()
            << client->peer() << "unknown frame ignored:" << printable(frame.left(40));
    }
}

void SimServer::reply(ClientConnection* client, const QByteArray& frame) {
    if (m_verbose)
        qCInfo(lcSim).noquote() << client->peer() << "->" << printable(frame);
    client->send(frame);
}

QByteArray SimServer::tableAnswer() const {
    return frames::compose(frames::kTable, m_store.tableBody());
}

void SimServer::save(ClientConnection* client, const QByteArray& frame) {
    QString why;
    const auto records = requests::parseSave(frame, &why);
    if (!records || !m_store.applySave(*records, &why)) {
        qCWarning(lcSim).noquote() << client->peer() << "save rejected, table unchanged:" << why;
        return;
    }
    qCInfo(lcSim).noquote() << client->peer() << why;
}

void SimServer::clearCharges(ClientConnection* client, const QByteArray& frame) {
    QString why;
    const auto number = requests::parseClearCharges(frame, &why);
    if (!number || !m_store.clearCharges(*number, &why)) {
        qCWarning(lcSim).noquote() << client->peer() << "clearing rejected:" << why;
        return;
    }
    qCInfo(lcSim).noquote() << client->peer() << why;
}

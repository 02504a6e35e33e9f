#pragma once

#include "SimState.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

class ClientConnection;
class TableStore;

// The server side of the protocol: accepts any number of clients on one thread and answers
// them all from the same table and the same state.
class SimServer : public QObject {
    Q_OBJECT
public:
    SimServer(TableStore& store, QObject* parent = nullptr);

    // Port 0 picks a free port; port() tells which.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }

    SimState& state() { return m_state; }
    TableStore& store() { return m_store; }
    qsizetype clientCount() const { return m_clients.size(); }

    // Closes every client connection; the clients may connect again.
    void dropAll();
    // Sends every client `count` heartbeat answers, or the table, that nobody asked for.
    void sendUnaskedHeartbeats(int count);
    void sendUnaskedTable();
    // Logs every frame in and out.
    void setVerbose(bool on) { m_verbose = on; }

signals:
    void clientCountChanged(qsizetype count);

private:
    void accept();
    void handle(ClientConnection* client, const QByteArray& frame);
    void reply(ClientConnection* client, const QByteArray& frame);
    QByteArray tableAnswer() const;
    void save(ClientConnection* client, const QByteArray& frame);
    void clearCharges(ClientConnection* client, const QByteArray& frame);
    void forget(ClientConnection* client);

    TableStore& m_store;
    SimState m_state;
    QTcpServer m_server;
    QList<ClientConnection*> m_clients;
    bool m_verbose = false;
};

#pragma once

#include "RufNum/RufNum.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// A server on 127.0.0.1 that records what the client sends and can answer it.
struct LoopbackPeer {
    LoopbackPeer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead,
                             [this] { received += socket->readAll(); });
        });
    }
    // Points the form here and waits until it is connected.
    bool attach(TNummernForm& form) {
        form.setServer(QStringLiteral("127.0.0.1"), server.serverPort());
        form.OpenConnection();
        return QTest::qWaitFor([&] { return socket && form.Connected; });
    }
    void send(const QByteArray& bytes) {
        socket->write(bytes);
        socket->flush();
    }
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
};

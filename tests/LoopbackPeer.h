#pragma once

#include "wire/FrameReader.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// The server side of the link on 127.0.0.1: the latest connection and the frames it sent.
struct LoopbackPeer {
    LoopbackPeer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* next = server.nextPendingConnection()) {
                ++connections;
                socket = next;
                reader.clear();
                QObject::connect(next, &QTcpSocket::readyRead,
                                 [this, next] { frames += reader.feed(next->readAll()); });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    bool waitForClient() {
        return QTest::qWaitFor([this] { return socket != nullptr; });
    }
    void send(const QByteArray& bytes) {
        socket->write(bytes);
        socket->flush();
    }
    // The frames before `marker`, sent last, so that "nothing else was sent" needs no time-out.
    QList<QByteArray> framesBefore(const QByteArray& marker) {
        if (!QTest::qWaitFor([&] { return frames.contains(marker); }))
            return {"no marker received"};
        const QList<QByteArray> before = frames.mid(0, frames.indexOf(marker));
        frames.remove(0, before.size() + 1);
        return before;
    }

    QTcpServer server;
    QTcpSocket* socket = nullptr;
    int connections = 0;
    FrameReader reader;
    QList<QByteArray> frames;
};

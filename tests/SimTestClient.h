#pragma once

#include "wire/FrameReader.h"
#include "wire/Frames.h"

#include <QTcpSocket>
#include <QTest>

// A bare protocol peer for the simulator's tests: sends raw bytes, collects whole frames.
struct SimTestClient {
    explicit SimTestClient(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead,
                         [this] { received += reader.feed(socket.readAll()); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    void send(const QByteArray& bytes) { socket.write(bytes); }
    // Sends and returns the next frame; empty when none came in time.
    QByteArray ask(const QByteArray& bytes) {
        send(bytes);
        return QTest::qWaitFor([this] { return !received.isEmpty(); }) ? received.takeFirst() : "";
    }

    FrameReader reader;
    QList<QByteArray> received;
    QTcpSocket socket; // declared last so it goes first and never feeds a destroyed reader
};

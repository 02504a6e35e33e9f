#pragma once

#include "link/FrameReader.h"
#include "link/Frames.h"

#include <QTcpSocket>
#include <QTest>

// A bare protocol peer for the simulator's tests: sends raw bytes, collects whole frames.
class SimTestClient : public QObject {
public:
    explicit SimTestClient(quint16 port) {
        connect(&socket, &QTcpSocket::readyRead, this,
                [this] { received += reader.feed(socket.readAll()); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    bool connected() { return socket.waitForConnected(5000); }
    void send(const QByteArray& bytes) { socket.write(bytes); }

    // The next frame, waiting for it on the event loop; empty when none came.
    QByteArray next() {
        if (received.isEmpty() && !QTest::qWaitFor([this] { return !received.isEmpty(); }))
            return {};
        return received.takeFirst();
    }

    // Asks and returns the answer, so a test reads like the conversation it checks.
    QByteArray ask(const QByteArray& frame) {
        send(frame);
        return next();
    }

    QTcpSocket socket;
    FrameReader reader;
    QList<QByteArray> received;
};

// The client's own reading of a table frame, LF CR line ends included: for each line a
// line end and the line, then a line end and the end marker. An empty line reads as two
// blanks, as the client shows it.
inline QList<QByteArray> clientTableLines(QByteArray buffer) {
    QList<QByteArray> lines;
    buffer.remove(0, frames::kTagLength);
    const QByteArray end = QByteArray("\n\r") + frames::kEnd.toByteArray();
    for (int pass = 0; pass < 120 && !buffer.startsWith(end); ++pass) {
        if (buffer.startsWith("\n\r"))
            buffer.remove(0, 2);
        const qsizetype h = buffer.indexOf('\n');
        const QByteArray line = buffer.left(qMax<qsizetype>(h, 0));
        lines.append(line.isEmpty() ? QByteArray("  ") : line);
        buffer.remove(0, line.size());
    }
    return lines;
}

#pragma once

#include "LateAnswers.h"
#include "wire/FrameReader.h"

#include <QObject>
#include <QString>

class QTcpSocket;

// One connected client: its socket and the reader that cuts its stream into frames.
class ClientConnection : public QObject {
    Q_OBJECT
public:
    // A client that stops reading must not make us buffer answers without end.
    static constexpr qint64 kMaxBacklog = 4 << 20;

    ClientConnection(QTcpSocket* socket, QObject* parent);

    const QString& peer() const { return m_peer; }
    // Sends a frame; a client whose unread answers pile up beyond kMaxBacklog is cut off.
    void send(const QByteArray& frame);
    void close();

    // Answers held back on purpose, one queue per kind of request so that a late table does
    // not hold up the heartbeats. They belong to the connection: what is due after it closed
    // goes nowhere.
    LateAnswers& lateHeartbeats() { return m_lateHeartbeats; }
    LateAnswers& lateTables() { return m_lateTables; }

signals:
    void frameReceived(ClientConnection* connection, const QByteArray& frame);
    void closed(ClientConnection* connection);

private:
    void readAvailable();
    void finish();

    QTcpSocket* m_socket;
    FrameReader m_reader;
    QString m_peer;
    bool m_closing = false;
    bool m_finished = false;
    LateAnswers m_lateHeartbeats;
    LateAnswers m_lateTables;
};

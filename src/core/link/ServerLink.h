#pragma once

#include "core/link/Heartbeat.h"
#include "core/link/ServerWire.h"
#include "wire/FrameReader.h"

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The one connection to the server. Qt's socket signals are mapped onto handlers named after
// the socket's events, which keep `Connected` and the status text up to date; an attempt
// shows the search first. The host appears as configured, never as resolved. An attempt that has
// neither succeeded nor failed after `connectTimeoutMs` is given up and reported as failed.
//
// What the server sends enters only through ClientZuServerRead: every complete frame is
// handed on in arrival order, by kind; frames with other tags change nothing. Receivers are
// called directly, so a frame has had its whole effect before the next one is looked at.
// Every connection starts with an empty receive buffer: nothing of one reaches the next.
class ServerLink final : public ServerWire {
    Q_OBJECT
public:
    explicit ServerLink(int connectTimeoutMs = 4000, QObject* parent = nullptr);
    ~ServerLink() override;

    // Where the next open goes. A port outside 1 to 65535 is kept, and the link reports it
    // unusable instead of trying it.
    void setHostAndPort(const QString& host, int port);
    const QString& host() const { return m_host; }
    int port() const { return m_port; }
    bool isConnected() const override { return Connected; }
    // What has arrived of a frame not yet complete.
    const QByteArray& pendingText() const { return ReceiveBuffer.pending(); }

    // Starts an attempt unless one is under way; the outcome arrives as socket events.
    void OpenConnection() override;
    // Out at once while connected; nowhere while the link is down. True when it went out.
    bool Send(const QByteArray& frame) override;

private:
    // The socket's events.
    void ClientZuServerLookup();
    void ClientZuServerConnect();
    void ClientZuServerDisconnect();
    void ClientZuServerError(QAbstractSocket::SocketError error);
    void ClientZuServerRead();
    void connectTimedOut();
    void setConnected(bool connected);

    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 6767;
    bool Connected = false;
    FrameReader ReceiveBuffer;
    // Runs while an attempt is under way: at most one at a time, and none for ever.
    QTimer m_connectLimit;
    // Declared last, so it goes first and never reports to members already gone.
    QTcpSocket ClientZuServer;
};

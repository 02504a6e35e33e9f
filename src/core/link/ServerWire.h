#pragma once

#include "core/link/Heartbeat.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// What the client's core needs of its link to the server: frames out, frames in by kind, the
// link coming up and going down. `ServerLink` is the one over TCP; tests drive the whole core
// through one held in memory, so that no test of the table or the watch waits for a socket.
//
// Receivers are called directly, in arrival order: a frame has had its whole effect before
// the next one is looked at.
class ServerWire : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isConnected() const = 0;
    // Starts an attempt unless one is under way; the outcome arrives as connectedChanged.
    virtual void OpenConnection() = 0;
    // Out at once while connected; nowhere while the link is down. True when it went out.
    virtual bool Send(const QByteArray& frame) = 0;

signals:
    // The status line's text.
    void statusChanged(const QString& text);
    void tableReceived(const QByteArray& frame);
    void heartbeatReceived(const HeartbeatAnswer& answer);
    // The link came up or went down; failed attempts while it is down say nothing.
    void connectedChanged(bool connected);
};

#include "RufNum/RufNum.h"

#include "link/Frames.h"

#include <QLabel>

// The one connection to the server. Qt's socket signals are mapped onto the handlers that
// keep Connected and the status line Label2 up to date; the host appears as configured,
// never as resolved.

void TNummernForm::wireSocket() {
    connect(&ClientZuServer, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::HostLookupState)
                    ClientZuServerLookup();
            });
    connect(&ClientZuServer, &QAbstractSocket::connected, this,
            &TNummernForm::ClientZuServerConnect);
    connect(&ClientZuServer, &QAbstractSocket::disconnected, this,
            &TNummernForm::ClientZuServerDisconnect);
    connect(&ClientZuServer, &QAbstractSocket::errorOccurred, this,
            &TNummernForm::ClientZuServerError);
    connect(&ClientZuServer, &QIODevice::readyRead, this, &TNummernForm::ClientZuServerRead);
}

void TNummernForm::OpenConnection() {
    // At most one connection: an attempt under way is left to finish.
    if (m_attemptUnderWay)
        return;
    // After an error the socket may still hold a half-dead connection; start afresh.
    if (ClientZuServer.state() != QAbstractSocket::UnconnectedState)
        ClientZuServer.abort();
    // A port no socket can use is the administrator's to mend; say so instead of trying.
    if (m_port < 1 || m_port > 65535) {
        setCaption(Label2, QStringLiteral("Server ") + m_host + QStringLiteral(" FEHLER! Port ") +
                               QString::number(m_port) + QStringLiteral(" ungültig"));
        Connected = false;
        return;
    }
    m_attemptUnderWay = true;
    ClientZuServer.connectToHost(m_host, quint16(m_port));
}

void TNummernForm::setServer(const QString& host, quint16 port) {
    ClientZuServer.abort();
    m_attemptUnderWay = false;
    Connected = false;
    m_host = host;
    m_port = port;
}

void TNummernForm::Send(const QByteArray& frame) {
    // Frames sent while the link is down go nowhere, silently.
    if (ClientZuServer.state() == QAbstractSocket::ConnectedState) {
        ClientZuServer.write(frame);
        // Out now, not at the next turn of the event loop: a quit may end it before then.
        ClientZuServer.flush();
    }
}

void TNummernForm::ClientZuServerLookup() {
    setCaption(Label2, QStringLiteral("Suche Server ") + m_host);
}

void TNummernForm::ClientZuServerConnect() {
    m_attemptUnderWay = false;
    Timer2.start();
    setCaption(Label2, QStringLiteral(" Server ") + m_host + QStringLiteral(" OK!"));
    Connected = true;
}

void TNummernForm::ClientZuServerDisconnect() {
    m_attemptUnderWay = false;
    setCaption(Label2, QStringLiteral(" kein Server! ") + m_host);
    Connected = false;
}

void TNummernForm::ClientZuServerError(QAbstractSocket::SocketError error) {
    // The peer closing the link is reported by the disconnect that follows, not as a failure.
    if (error == QAbstractSocket::RemoteHostClosedError &&
        ClientZuServer.state() == QAbstractSocket::ConnectedState)
        return;
    m_attemptUnderWay = false;
    setCaption(Label2, QStringLiteral("Server ") + m_host + QStringLiteral(" FEHLER!"));
    Connected = false;
}

void TNummernForm::Timer2Timer() {
    SendFrame = frames::tableRequest();
    Send(SendFrame);
}

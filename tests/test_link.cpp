#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "core/link/Heartbeat.h"
#include "core/link/ServerLink.h"

#include <QTest>
#include <memory>

using namespace fixtures;

namespace {

const QStringList kUp{"Suche Server 127.0.0.1", " Server 127.0.0.1 OK!"};

// An answer as its busy writes, each in brackets, then "|" and the alarm's NST, "-" for none;
// "off " first when it carries the tag that ends an alarm.
QByteArray shown(const HeartbeatAnswer& a) {
    QByteArray s = a.alarmOff ? "off " : "";
    for (const QByteArray& w : a.busyWrites)
        s += "[" + w + "]";
    return s + "|" + a.alarmNst.value_or("-");
}

// A link and everything it reports: tables as they came, answers as shown.
struct Link {
    ServerLink link;
    QStringList status;
    QList<QByteArray> got;

    explicit Link(quint16 port, int connectTimeoutMs = 4000) : link(connectTimeoutMs) {
        link.setHostAndPort(QStringLiteral("127.0.0.1"), port);
        QObject::connect(&link, &ServerLink::statusChanged,
                         [this](const QString& s) { status << s; });
        QObject::connect(&link, &ServerLink::tableReceived,
                         [this](const QByteArray& f) { got << f; });
        QObject::connect(&link, &ServerLink::heartbeatReceived,
                         [this](const HeartbeatAnswer& a) { got << shown(a); });
    }
    bool open(LoopbackPeer& peer) {
        link.OpenConnection();
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    // Frames go on whole, by kind, in order, with the busy line and the alarm as the server
    // sends them. A frame torn off by a dropped connection goes with it and cannot swallow the
    // first of the next, whose first read begins with a stray line end: one that begins with a
    // frame's start would let the reader start over by itself.
    void framesGoOnByKindAndNoneOutlivesItsConnection() {
        LoopbackPeer peer;
        Link l(peer.port());
        l.link.OpenConnection(); // an open during an attempt is left to it
        QVERIFY(l.open(peer));
        peer.send(tableFrame({"4711"}) + answer("\n\r17\n\r") +
                  answer("\n\rBUSY,12,", "[___test]"));
        // A line end between two answers belongs to neither; other tags are ignored.
        peer.send(answer("\n\rBUSY,12,") + "\r\n" + answer("\n\r", "[___Test]") +
                  answer("\n\r23\n\r"));
        peer.send(answer("\n\r") + answer("\n\rBUSY,12,17,") + answer("\n\r23\n\rBUSY,12,") +
                  answer("\n\rBUSY,12,17,\n\r") + answer("\n\rBUSY,"));
        QTRY_COMPARE(l.got,
                     (QList<QByteArray>{tableFrame({"4711"}), "|17", "off [12]|", "[12]|", "|23",
                                        "|-", "[12,17]|", "|23", "[]|12,17,", "[]|"}));
        const QByteArray torn = tableFrame({"4711"}).left(20);
        peer.send(torn);
        QTRY_COMPARE(l.link.pendingText(), torn);
        peer.socket->disconnectFromHost();
        QTRY_VERIFY(!l.link.isConnected());
        // The peer's close is an end, not a failure.
        QCOMPARE(l.status, kUp + QStringList{" kein Server! 127.0.0.1"});
        QCOMPARE(l.link.pendingText(), QByteArray());
        l.got.clear();
        QVERIFY(l.open(peer));
        peer.send("\r\n" + answer("\n\r7\n\r")); // a room of one digit is a room too
        QTRY_COMPARE(l.got, QList<QByteArray>{"|7"});
    }

    // A hanging attempt is given up after the limit, so the next tick tries afresh; a
    // connected link outlives it. A port no socket can use is the administrator's to mend; a
    // new port lets go of the old connection, or it would stand in the way of every attempt.
    void anAttemptIsGivenUpAfterTheLimitAndOnlyThen() {
        constexpr int limit = 200;
        LoopbackPeer peer;
        Link l(peer.port(), limit);
#ifndef Q_OS_WIN
        // Only Linux lets an attempt hang on 127.0.0.1, as on a host that drops packets: the
        // SYN to a full queue is dropped. Windows refuses it.
        QTcpServer full;
        full.setListenBacklogSize(0);
        full.listen(QHostAddress::LocalHost);
        full.pauseAccepting();
        QTcpSocket queued;
        queued.connectToHost(QHostAddress::LocalHost, full.serverPort());
        QVERIFY(queued.waitForConnected());
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), full.serverPort());
        l.link.OpenConnection();
        QTRY_COMPARE(l.status, QStringList({kUp[0], "Server 127.0.0.1 FEHLER!"}));
        l.status.clear();
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
#endif
        QVERIFY(l.open(peer));
        QTest::qWait(2 * limit);
        QVERIFY(l.link.isConnected());
        QCOMPARE(l.status, kUp);
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), 65536); // reported, never tried
        l.link.OpenConnection();
        QCOMPARE(l.status.last(), QStringLiteral("Server 127.0.0.1 FEHLER! Port 65536 ungültig"));
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), 1); // the first port there is: tried
        l.link.OpenConnection();
        QTRY_COMPARE(l.status.last(), QStringLiteral("Server 127.0.0.1 FEHLER!"));
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port()); // and back: up again
        QVERIFY(l.open(peer));
    }

    // Torn down, what the link sent last is still on its way, as a quit needs.
    void framesGoOutOnlyOverALiveLinkAndOutliveIt() {
        LoopbackPeer peer;
        auto l = std::make_unique<Link>(peer.port());
        QVERIFY(!l->link.Send(frames::heartbeat()));
        QVERIFY(l->open(peer));
        QVERIFY(l->link.Send(frames::tableRequest()));
        l.reset();
        QTRY_COMPARE(peer.frames, QList<QByteArray>{frames::tableRequest()});
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"

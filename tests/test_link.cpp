#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"

#include <QTest>
#include <memory>

#ifndef Q_OS_WIN
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace fixtures;

namespace {

// A link and everything it reports.
struct Link {
    ServerLink link;
    QStringList status;
    QList<QByteArray> tables;
    QList<HeartbeatAnswer> answers;

    explicit Link(int connectTimeoutMs = 4000) : link(10, connectTimeoutMs) {
        QObject::connect(&link, &ServerLink::statusChanged,
                         [this](const QString& s) { status.append(s); });
        QObject::connect(&link, &ServerLink::tableReceived,
                         [this](const QByteArray& f) { tables.append(f); });
        QObject::connect(&link, &ServerLink::heartbeatReceived,
                         [this](const HeartbeatAnswer& a) { answers.append(a); });
    }
    bool attach(LoopbackPeer& peer) {
        link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        link.OpenConnection();
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

int requests(const LoopbackPeer& peer) {
    return int(peer.frames.count(frames::tableRequest()));
}

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

#ifndef Q_OS_WIN
// A port on 127.0.0.1 where an attempt hangs as it does against a host that drops packets:
// Linux drops the SYN for a listener whose queue (backlog 0) already holds a connection.
// Windows refuses it instead, so no port there hangs.
struct HangingPort {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int queued = ::socket(AF_INET, SOCK_STREAM, 0);
    quint16 port = 0;

    HangingPort() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        auto* at = reinterpret_cast<sockaddr*>(&a);
        if (::bind(listener, at, size) == 0 && ::listen(listener, 0) == 0 &&
            ::getsockname(listener, at, &size) == 0 && ::connect(queued, at, size) == 0)
            port = ntohs(a.sin_port);
    }
    ~HangingPort() {
        ::close(queued);
        ::close(listener);
    }
};
#endif

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void heartbeatBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<QByteArray>>("busy");
        QTest::addColumn<bool>("setsAlarm");
        QTest::addColumn<QByteArray>("alarm");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray("\n\r") << L{} << false << QByteArray();
        QTest::newRow("busy") << QByteArray("\n\rBUSY,12,17,") << L{"12,17"} << true
                              << QByteArray();
        QTest::newRow("busy none") << QByteArray("\n\rBUSY,") << L{""} << true << QByteArray();
        QTest::newRow("alarm") << QByteArray("\n\r23\n\r") << L{} << true << QByteArray("23");
        QTest::newRow("empty line") << QByteArray("\n\r\n\r") << L{} << true << QByteArray();
        QTest::newRow("alarm, busy")
            << QByteArray("\n\r23\n\rBUSY,12,") << L{} << true << QByteArray("23");
        QTest::newRow("busy line ended")
            << QByteArray("\n\rBUSY,12,17,\n\r") << L{""} << true << QByteArray("12,17,");
        QTest::newRow("garbage") << QByteArray("\x01\xff<b>") << L{} << true << QByteArray();
    }
    void heartbeatBodies() {
        QFETCH(QByteArray, body);
        QFETCH(bool, setsAlarm);
        const HeartbeatAnswer a = readHeartbeat(answer(body));
        QTEST(a.busyWrites, "busy");
        QCOMPARE(a.alarmNst.has_value(), setsAlarm);
        if (setsAlarm)
            QTEST(*a.alarmNst, "alarm");
        QVERIFY(!a.alarmOff);
        QVERIFY(readHeartbeat(answer(body, "[___test]")).alarmOff);
    }

    void statusFollowsTheLinkAndTheTableIsAskedForAfterEveryConnect() {
        Link l;
        // Nobody listens: the lookup, then the failure.
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), closedPort());
        l.link.OpenConnection();
        QTRY_COMPARE(l.status, (QStringList{"Suche Server 127.0.0.1", "Server 127.0.0.1 FEHLER!"}));
        QVERIFY(!l.link.isConnected());

        // The server comes up: asked for the table until it arrives, then no more.
        LoopbackPeer peer;
        l.status.clear();
        QVERIFY(l.attach(peer));
        QCOMPARE(l.status, (QStringList{"Suche Server 127.0.0.1", " Server 127.0.0.1 OK!"}));
        QTRY_VERIFY(requests(peer) >= 2);
        peer.send(tableFrame({"4711"}));
        QTRY_COMPARE(l.tables, QList<QByteArray>{tableFrame({"4711"})});
        const int asked = requests(peer);
        QTest::qWait(60);
        QCOMPARE(requests(peer), asked);

        // The server closes: no failure, just the link gone; the next open asks again.
        l.status.clear();
        peer.socket->disconnectFromHost();
        QTRY_COMPARE(l.status, QStringList{" kein Server! 127.0.0.1"});
        QVERIFY(!l.link.isConnected());
        peer.frames.clear();
        l.link.OpenConnection();
        QTRY_VERIFY(requests(peer) >= 1);
        QCOMPARE(peer.connections, 2);
    }

    void anAttemptIsGivenUpAfterTheLimitAndOnlyThen() {
        constexpr int limit = 200;
        Link l(limit);
#ifndef Q_OS_WIN
        HangingPort hanging;
        QVERIFY(hanging.port != 0);
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), hanging.port);
        l.link.OpenConnection();
        QTRY_COMPARE(l.status, (QStringList{"Suche Server 127.0.0.1", "Server 127.0.0.1 FEHLER!"}));
        QVERIFY(!l.link.isConnected());
#endif

        // The next open is an attempt of its own, and one that succeeds outlives the limit;
        // a refused one is reported once, not again when the limit runs out.
        LoopbackPeer peer;
        l.status.clear();
        QVERIFY(l.attach(peer));
        Link refused(limit);
        refused.link.setHostAndPort(QStringLiteral("127.0.0.1"), closedPort());
        refused.link.OpenConnection();
        QTRY_COMPARE(refused.status.size(), 2);
        QTest::qWait(2 * limit);
        QVERIFY(l.link.isConnected());
        QCOMPARE(l.status, (QStringList{"Suche Server 127.0.0.1", " Server 127.0.0.1 OK!"}));
        QCOMPARE(refused.status,
                 (QStringList{"Suche Server 127.0.0.1", "Server 127.0.0.1 FEHLER!"}));
    }

    void nothingOfOneConnectionReachesTheNext() {
        LoopbackPeer peer;
        Link l;
        QVERIFY(l.attach(peer));
        peer.send("[___D_IN]\n\r" + tableLine("4711") + "\n\r");
        peer.socket->disconnectFromHost();
        QTRY_VERIFY(!l.link.isConnected());
        l.link.OpenConnection();
        QTRY_VERIFY(l.link.isConnected());
        QTRY_COMPARE(peer.connections, 2);
        // "[___" cut by the reads, so the start of the answer cannot clear the buffer itself.
        peer.send("[_");
        QTest::qWait(20);
        peer.send("__TEST]\n\r23\n\r{_ENDE__}");
        QTRY_COMPARE(l.answers.size(), 1);
        QCOMPARE(l.answers[0].alarmNst, std::optional<QByteArray>("23"));
        QVERIFY(l.tables.isEmpty());
    }

    void anOpenDuringAnAttemptIsLeftToIt() {
        LoopbackPeer peer;
        Link l;
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        l.link.OpenConnection();
        l.link.OpenConnection();
        QTRY_VERIFY(l.link.isConnected());
        QCOMPARE(l.status, (QStringList{"Suche Server 127.0.0.1", " Server 127.0.0.1 OK!"}));
    }

    void portsNoSocketCanUseAreReportedNotTried_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("usable");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("65535") << 65535 << true;
        QTest::newRow("65536") << 65536 << false;
        QTest::newRow("70000") << 70000 << false;
    }
    void portsNoSocketCanUseAreReportedNotTried() {
        QFETCH(int, port);
        QFETCH(bool, usable);
        Link l;
        l.link.setHostAndPort(QStringLiteral("h"), port);
        l.link.OpenConnection();
        QCOMPARE(l.status.value(0),
                 usable ? QStringLiteral("Suche Server h")
                        : QStringLiteral("Server h FEHLER! Port %1 ungültig").arg(port));
    }

    void everyFrameIsHandedOnByKindInArrivalOrder() {
        LoopbackPeer peer;
        Link l;
        QVERIFY(l.attach(peer));
        // Two frames in one write, then one byte by byte: each handed on once, whole.
        peer.send(tableFrame({"4711"}) + answer("\n\r17\n\r"));
        for (char c : answer("\n\rBUSY,12,", "[___test]")) {
            peer.send(QByteArray(1, c));
            QCoreApplication::processEvents();
        }
        // A line end between two answers belongs to neither.
        peer.send(answer("\n\rBUSY,12,") + "\r\n" + answer("\n\r23\n\r"));
        // Other letter case and unknown tags are nobody's business.
        peer.send(answer("\n\r", "[___Test]") + frames::compose("[___XXXX]") + answer("\n\r\n\r"));
        QTRY_COMPARE(l.answers.size(), 5);
        QCOMPARE(l.tables, QList<QByteArray>{tableFrame({"4711"})});
        QCOMPARE(l.answers[0].alarmNst, std::optional<QByteArray>("17"));
        QCOMPARE(l.answers[1].busyWrites, QList<QByteArray>{"12"});
        QVERIFY(l.answers[1].alarmOff);
        QCOMPARE(l.answers[2].busyWrites, QList<QByteArray>{"12"});
        QCOMPARE(l.answers[3].alarmNst, std::optional<QByteArray>("23"));
        QCOMPARE(l.answers[4].alarmNst, std::optional<QByteArray>(""));
        QVERIFY(!l.answers[4].alarmOff);
    }

    void framesGoOutOnlyOverALiveLinkAndALinkGoesQuietly() {
        auto link = std::make_unique<ServerLink>(10);
        QStringList status;
        QObject::connect(link.get(), &ServerLink::statusChanged,
                         [&status](const QString& s) { status.append(s); });
        link->Send(frames::heartbeat()); // down: nowhere, no harm
        LoopbackPeer peer;
        link->setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        link->OpenConnection();
        QTRY_VERIFY(link->isConnected());
        link->Send(frames::heartbeat());
        QTRY_VERIFY(peer.frames.contains(frames::heartbeat()));
        // Torn down while connected, the link tells nobody: its listeners may be gone too. What
        // it sent last is on its way already, as a quit that ends the program needs.
        status.clear();
        link->Send(frames::tableRequest());
        link.reset();
        QCOMPARE(status, QStringList());
        QTRY_VERIFY(peer.frames.contains(frames::tableRequest()));
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"

#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "core/link/Heartbeat.h"
#include "core/link/ServerLink.h"

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

const QStringList kFailed{"Suche Server 127.0.0.1", "Server 127.0.0.1 FEHLER!"};
const QStringList kUp{"Suche Server 127.0.0.1", " Server 127.0.0.1 OK!"};

// A link and everything it reports.
struct Link {
    ServerLink link;
    QStringList status;
    QList<QByteArray> tables;
    QList<HeartbeatAnswer> answers;

    explicit Link(quint16 port, int connectTimeoutMs = 4000) : link(connectTimeoutMs) {
        link.setHostAndPort(QStringLiteral("127.0.0.1"), port);
        QObject::connect(&link, &ServerLink::statusChanged,
                         [this](const QString& s) { status << s; });
        QObject::connect(&link, &ServerLink::tableReceived,
                         [this](const QByteArray& f) { tables << f; });
        QObject::connect(&link, &ServerLink::heartbeatReceived,
                         [this](const HeartbeatAnswer& a) { answers << a; });
    }
    bool open(LoopbackPeer& peer) {
        link.OpenConnection();
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

#ifndef Q_OS_WIN
// Hangs an attempt as a host that drops packets: the SYN to a full backlog-0 queue is dropped.
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
    // The busy line and the alarm as the server sends them.
    void heartbeatBodies() {
        const auto read = [](const QByteArray& body) { return readHeartbeat(answer(body)); };
        QVERIFY(!read("\n\r").alarmNst);
        QCOMPARE(read("\n\r7\n\r").alarmNst, std::optional<QByteArray>("7"));
        const HeartbeatAnswer busy = read("\n\rBUSY,12,17,");
        QCOMPARE(busy.busyWrites, QList<QByteArray>{"12,17"});
        QCOMPARE(busy.alarmNst, std::optional<QByteArray>(""));
        const HeartbeatAnswer both = read("\n\r23\n\rBUSY,12,");
        QCOMPARE(both.busyWrites, QList<QByteArray>{});
        QCOMPARE(both.alarmNst, std::optional<QByteArray>("23"));
        const HeartbeatAnswer ended = read("\n\rBUSY,12,17,\n\r");
        QCOMPARE(ended.busyWrites, QList<QByteArray>{""});
        QCOMPARE(ended.alarmNst, std::optional<QByteArray>("12,17,"));
    }

    // Frames go on whole, by kind, in order.
    void everyFrameIsHandedOnByKind() {
        LoopbackPeer peer;
        Link l(peer.port());
        l.link.OpenConnection(); // an open during an attempt is left to it
        QVERIFY(l.open(peer));
        peer.send(tableFrame({"4711"}) + answer("\n\r17\n\r") +
                  answer("\n\rBUSY,12,", "[___test]"));
        // A line end between two answers belongs to neither; other tags are ignored.
        peer.send(answer("\n\rBUSY,12,") + "\r\n" + answer("\n\r", "[___Test]") +
                  answer("\n\r23\n\r"));
        QTRY_COMPARE(l.answers.size(), 4);
        QCOMPARE(l.tables, QList<QByteArray>{tableFrame({"4711"})});
        QCOMPARE(l.answers[0].alarmNst, std::optional<QByteArray>("17"));
        QVERIFY(l.answers[1].alarmOff);
        QCOMPARE(l.answers[2].busyWrites, QList<QByteArray>{"12"});
        QCOMPARE(l.answers[3].alarmNst, std::optional<QByteArray>("23"));
    }

    // A frame torn off by a dropped connection goes with it and cannot swallow the first of
    // the next. The next connection's first read begins with a stray line end: one that begins
    // with a frame's start would let the reader start over by itself.
    void aNewConnectionStartsWithNothingLeftOver() {
        LoopbackPeer peer;
        Link l(peer.port());
        QVERIFY(l.open(peer));
        const QByteArray torn = tableFrame({"4711"}).left(20);
        peer.send(torn);
        QTRY_COMPARE(l.link.pendingText(), torn);
        peer.socket->disconnectFromHost();
        QTRY_VERIFY(!l.link.isConnected());
        // The peer's close is an end, not a failure.
        QCOMPARE(l.status, kUp + QStringList{" kein Server! 127.0.0.1"});
        QCOMPARE(l.link.pendingText(), QByteArray());
        QVERIFY(l.open(peer));
        peer.send("\r\n" + answer("\n\r17\n\r"));
        QTRY_COMPARE(l.answers.size(), 1);
        QCOMPARE(l.tables, QList<QByteArray>{});
    }

    // A hanging attempt is given up after the limit, so the next tick tries afresh; a
    // connected link outlives it.
    void anAttemptIsGivenUpAfterTheLimitAndOnlyThen() {
        constexpr int limit = 200;
        LoopbackPeer peer;
        Link l(peer.port(), limit);
#ifndef Q_OS_WIN
        // Only Linux lets an attempt hang on 127.0.0.1; Windows refuses a full queue.
        HangingPort hanging;
        QVERIFY(hanging.port != 0);
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), hanging.port);
        l.link.OpenConnection();
        QTRY_COMPARE(l.status, kFailed);
        l.status.clear();
        l.link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
#endif
        QVERIFY(l.open(peer));
        QTest::qWait(2 * limit);
        QVERIFY(l.link.isConnected());
        QCOMPARE(l.status, kUp);
    }

    // Torn down, what the link sent last is still on its way, as a quit needs.
    void framesGoOutOnlyOverALiveLinkAndOutliveIt() {
        LoopbackPeer peer;
        auto link = std::make_unique<ServerLink>();
        QVERIFY(!link->Send(frames::heartbeat()));
        link->setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        link->OpenConnection();
        QTRY_VERIFY(link->isConnected());
        QVERIFY(link->Send(frames::tableRequest()));
        link.reset();
        QTRY_COMPARE(peer.frames, QList<QByteArray>{frames::tableRequest()});
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"

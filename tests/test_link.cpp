#include "FakeServices.h"
#include "link/Frames.h"
#include "link/Heartbeat.h"
#include "table/NummernModel.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A peer on 127.0.0.1 that records what the client sends.
class Peer {
public:
    Peer() {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead,
                             [this] { received += socket->readAll(); });
        });
    }
    int count(const QByteArray& frame) const { return int(received.count(frame)); }
    void send(const QByteArray& bytes) {
        socket->write(bytes);
        socket->flush();
    }
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
};

QByteArray tableFrame(const QList<QByteArray>& lines) {
    QByteArray body;
    for (const QByteArray& l : lines)
        body += frames::line(l);
    return frames::compose(frames::kTable, body);
}

// A heartbeat answer; the body starts after the tag's own LF CR.
QByteArray answer(const char* body, QByteArrayView tag = frames::kHeartbeat) {
    return tag.toByteArray() + body + frames::kEnd.toByteArray();
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void heartbeatBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<QByteArray>>("busy");
        QTest::addColumn<bool>("setsAlarm");
        QTest::addColumn<QByteArray>("alarm");
        QTest::addColumn<int>("passes");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray("\n\r") << L{} << false << QByteArray() << 1;
        QTest::newRow("busy") << QByteArray("\n\rBUSY,12,17,") << L{"12,17"} << true << QByteArray()
                              << 20;
        QTest::newRow("busy none") << QByteArray("\n\rBUSY,") << L{""} << true << QByteArray() << 2;
        QTest::newRow("alarm") << QByteArray("\n\r23\n\r") << L{} << true << QByteArray("23") << 20;
        QTest::newRow("empty line") << QByteArray("\n\r\n\r") << L{} << true << QByteArray() << 2;
        QTest::newRow("alarm then busy")
            << QByteArray("\n\r23\n\rBUSY,12,") << L{} << true << QByteArray("23") << 20;
        QTest::newRow("busy line ended")
            << QByteArray("\n\rBUSY,12,17,\n\r") << L{""} << true << QByteArray("12,17,") << 20;
        QTest::newRow("no line end, garbage")
            << QByteArray("\x01\xff<b>x</b>") << L{} << true << QByteArray() << 20;
    }
    void heartbeatBodies() {
        QFETCH(QByteArray, body);
        // The rows list what follows the tag, its own LF CR included.
        const HeartbeatAnswer b = readHeartbeat(QByteArray("[___TEST]") + body + "{_ENDE__}");
        QTEST(b.busyWrites, "busy");
        QFETCH(bool, setsAlarm);
        QCOMPARE(b.alarmNst.has_value(), setsAlarm);
        if (setsAlarm)
            QTEST(*b.alarmNst, "alarm");
        QTEST(b.passes, "passes");
        QVERIFY(!b.alarmOff);
        QVERIFY(readHeartbeat("[___test]\n\r{_ENDE__}").alarmOff);
    }

    void statusLineFollowsTheLink() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.Timer2.setInterval(20);

        // Nobody listens: lookup text, then the failure.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        form.setServer(QStringLiteral("127.0.0.1"), closedPort);
        form.OpenConnection();
        QCOMPARE(form.Label2->text(), QStringLiteral("Suche Server 127.0.0.1"));
        QTRY_COMPARE(form.Label2->text(), QStringLiteral("Server 127.0.0.1 FEHLER!"));
        QVERIFY(!form.Connected);

        // The peer comes up: connected, the table is asked for until it arrives, then no more.
        Peer peer;
        form.setServer(QStringLiteral("127.0.0.1"), peer.server.serverPort());
        form.Timer1Timer(); // the watch tick reopens a link that is down
        QTRY_COMPARE(form.Label2->text(), QStringLiteral(" Server 127.0.0.1 OK!"));
        QVERIFY(form.Connected);
        QTRY_VERIFY(peer.count(frames::tableRequest()) >= 2);
        peer.send(tableFrame({"4711", "0815"}));
        QTRY_COMPARE(form.TableLines.size(), 2);
        QVERIFY(!form.Timer2.isActive());
        const int requests = peer.count(frames::tableRequest());
        QTest::qWait(100);
        QCOMPARE(peer.count(frames::tableRequest()), requests);

        // The peer closes: the grid keeps its table, and the next open asks for it again.
        peer.socket->disconnectFromHost();
        QTRY_COMPARE(form.Label2->text(), QStringLiteral(" kein Server! 127.0.0.1"));
        QVERIFY(!form.Connected);
        QCOMPARE(form.GridModel->rowCount(), 2);
        peer.received.clear();
        form.Timer1Timer();
        QTRY_VERIFY(peer.count(frames::tableRequest()) >= 1);
    }

    void hostNamesAndIpv6Literals() {
        for (const QString& host : {QStringLiteral("localhost"), QStringLiteral("::1")}) {
            QTcpServer server;
            if (!server.listen(host == "::1" ? QHostAddress::LocalHostIPv6 : QHostAddress::Any))
                QSKIP("no IPv6 loopback here");
            FakeServices fake;
            TNummernForm form(QString(), fake.services());
            form.setServer(host, server.serverPort());
            form.OpenConnection();
            QTRY_COMPARE(form.Label2->text(), QStringLiteral(" Server ") + host + " OK!");
        }
    }

    void everyFrameInAReadHasItsEffect() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        Peer peer;
        form.setServer(QStringLiteral("127.0.0.1"), peer.server.serverPort());
        form.OpenConnection();
        QTRY_VERIFY(peer.socket && form.Connected);
        form.WatchCount = 3;

        // A table and a heartbeat answer in one write: the table sets 1, the answer adds 1.
        peer.send(tableFrame({"4711"}) + answer("\n\r17\n\r"));
        QTRY_COMPARE(form.AlarmNst, QByteArray("17"));
        QCOMPARE(form.TableLines, QList<QByteArray>{"4711"});
        QCOMPARE(form.WatchCount, 2);

        // Byte by byte: handled once, when the end marker is complete.
        for (char c : answer("\n\rBUSY,12,17,", frames::kHeartbeatAlarmOff)) {
            peer.send(QByteArray(1, c));
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(form.WatchCount, 3);
        QTest::qWait(20);
        QCOMPARE(form.WatchCount, 3);
        QCOMPARE(fake.store.values.value("Belegt/Belegt="), QVariant(QStringLiteral("12,17")));
        QCOMPARE(form.AlarmNst, QByteArray());
        QCOMPARE(form.Label1->text(), QStringLiteral(" ALARM = AUS !"));

        // A busy line ended by a line end stores nothing and becomes the alarm text.
        peer.send(answer("\n\rBUSY,12,17,\n\r"));
        QTRY_COMPARE(form.WatchCount, 4);
        QCOMPARE(fake.store.values.value("Belegt/Belegt="), QVariant(QString()));
        QCOMPARE(form.AlarmNst, QByteArray("12,17,"));
        QCOMPARE(form.Label1->text(), QString());

        // An answer without a body leaves the alarm standing; tags in other letter case and
        // unknown tags change nothing at all.
        peer.send(answer("\n\r") + frames::compose("[___Test]", "\n\r\n\r") +
                  frames::compose("[___XXXX]") + answer("\n\r"));
        QTRY_COMPARE(form.WatchCount, 6);
        QCOMPARE(form.AlarmNst, QByteArray("12,17,"));

        // A store that refuses the busy list costs nothing else.
        fake.store.failWrites = true;
        peer.send(answer("\n\rBUSY,9,"));
        QTRY_COMPARE(form.WatchCount, 7);
        QCOMPARE(form.AlarmNst, QByteArray());
    }

    void creditNeverOverflows() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.WatchCount = std::numeric_limits<qint32>::max();
        form.dispatchFrame(answer("\n\r"));
        QCOMPARE(form.WatchCount, std::numeric_limits<qint32>::max());
    }
};

QTEST_MAIN(TestLink)
#include "test_link.moc"

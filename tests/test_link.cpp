#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "link/Frames.h"
#include "link/Heartbeat.h"
#include "table/NummernModel.h"

#include <QLabel>
#include <QTest>

namespace {

int requests(const LoopbackPeer& peer) {
    return int(peer.received.count(frames::tableRequest()));
}

QByteArray tableFrame(const QByteArray& lines) {
    return frames::compose(frames::kTable, lines);
}

// A heartbeat answer; `body` is everything between the tag and the end marker.
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
        QTest::newRow("alarm, busy")
            << QByteArray("\n\r23\n\rBUSY,12,") << L{} << true << QByteArray("23") << 20;
        QTest::newRow("busy line ended")
            << QByteArray("\n\rBUSY,12,17,\n\r") << L{""} << true << QByteArray("12,17,") << 20;
        QTest::newRow("garbage") << QByteArray("\x01\xff<b>") << L{} << true << QByteArray() << 20;
    }
    void heartbeatBodies() {
        QFETCH(QByteArray, body);
        QFETCH(bool, setsAlarm);
        const HeartbeatAnswer a = readHeartbeat(answer(body));
        QTEST(a.busyWrites, "busy");
        QCOMPARE(a.alarmNst.has_value(), setsAlarm);
        if (setsAlarm)
            QTEST(*a.alarmNst, "alarm");
        QTEST(a.passes, "passes");
        QVERIFY(!a.alarmOff);
        QVERIFY(readHeartbeat(answer(body, frames::kHeartbeatAlarmOff)).alarmOff);
    }

    void statusLineFollowsTheLink() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.Timer2.setInterval(20);

        // Nobody listens: lookup text, then the failure.
        quint16 closedPort;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            closedPort = probe.serverPort();
        }
        form.setServer(QStringLiteral("127.0.0.1"), closedPort);
        form.OpenConnection();
        QCOMPARE(form.Label2->text(), QStringLiteral("Suche Server 127.0.0.1"));
        QTRY_COMPARE(form.Label2->text(), QStringLiteral("Server 127.0.0.1 FEHLER!"));
        QVERIFY(!form.Connected);

        // The peer comes up: the watch tick reopens, the table is asked for until it arrives.
        LoopbackPeer peer;
        form.setServer(QStringLiteral("127.0.0.1"), peer.server.serverPort());
        form.Timer1Timer();
        QTRY_COMPARE(form.Label2->text(), QStringLiteral(" Server 127.0.0.1 OK!"));
        QVERIFY(form.Connected);
        QTRY_VERIFY(requests(peer) >= 2);
        peer.send(tableFrame("4711\n\r0815\n\r"));
        QTRY_COMPARE(form.TableLines, (QList<QByteArray>{"4711", "0815"}));
        const int asked = requests(peer);
        QTest::qWait(100);
        QCOMPARE(requests(peer), asked);

        // The peer closes: the grid keeps its table, and the next open asks for it again.
        peer.socket->disconnectFromHost();
        QTRY_COMPARE(form.Label2->text(), QStringLiteral(" kein Server! 127.0.0.1"));
        QVERIFY(!form.Connected);
        QCOMPARE(form.GridModel->rowCount(), 2);
        peer.received.clear();
        form.Timer1Timer();
        QTRY_VERIFY(requests(peer) >= 1);
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
        LoopbackPeer peer;
        QVERIFY(peer.attach(form));
        form.WatchCount = 3;

        // A table and a heartbeat answer in one write: the table sets 1, the answer adds 1.
        peer.send(tableFrame("4711\n\r") + answer("\n\r17\n\r"));
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

        // No body leaves the alarm standing; other letter case and unknown tags change nothing.
        peer.send(answer("\n\r") + answer("\n\r\n\r", "[___Test]") + frames::compose("[___XXXX]"));
        QTRY_COMPARE(form.WatchCount, 5);
        QTest::qWait(20);
        QCOMPARE(form.WatchCount, 5);
        QCOMPARE(form.AlarmNst, QByteArray("12,17,"));

        // A store that refuses the busy list costs nothing else, and the credit saturates.
        fake.store.failWrites = true;
        form.WatchCount = std::numeric_limits<qint32>::max();
        peer.send(answer("\n\rBUSY,9,"));
        QTRY_COMPARE(form.AlarmNst, QByteArray());
        QCOMPARE(form.WatchCount, std::numeric_limits<qint32>::max());
    }
};

QTEST_MAIN(TestLink)
#include "test_link.moc"

#include "SimTestClient.h"
#include "sim/SimControl.h"
#include "sim/SimServer.h"
#include "sim/TableStore.h"

#include <QTemporaryDir>

namespace {

const QByteArray kEndLine = "\n\r";

QByteArray record(const QByteArray& number, const QByteArray& remark) {
    return number.leftJustified(60) + remark.leftJustified(40);
}

QByteArray saveFrame(const QList<QByteArray>& records) {
    QByteArray body;
    for (int i = 0; i < records.size(); ++i)
        body += QByteArray::number(i) + kEndLine + records[i] + kEndLine;
    return frames::compose(frames::kSaveTable, body);
}

} // namespace

// A simulator on a free loopback port with a fresh sample table, as a client meets it.
struct RunningSim {
    explicit RunningSim(const QString& path) : store(path), server(store), control(server) {
        QString error;
        if (!store.open(&error) || !server.listen(QHostAddress::LocalHost, 0, &error))
            qFatal("%s", qPrintable(error));
    }
    void run(const QString& command) { QVERIFY(control.execute(command).ok); }

    TableStore store;
    SimServer server;
    SimControl control;
};

class TestSimServer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<RunningSim> m_sim;

    std::unique_ptr<SimTestClient> client() {
        auto c = std::make_unique<SimTestClient>(m_sim->server.port());
        if (!c->connected())
            qFatal("cannot connect");
        return c;
    }

private slots:
    void init() {
        m_path = m_dir.filePath(QStringLiteral("table.txt"));
        QFile::remove(m_path);
        m_sim = std::make_unique<RunningSim>(m_path);
    }
    void cleanup() { m_sim.reset(); }

    void tableRequestIsAnsweredWithEveryRow() {
        auto c = client();
        const QByteArray table = c->ask(frames::tableRequest());
        QVERIFY(table.startsWith("[___D_IN]\n\r"));
        QVERIFY(table.endsWith("\n\r{_ENDE__}"));
        QList<QByteArray> expected = m_sim->store.rows();
        expected.replace(expected.indexOf(QByteArray()), "  ");
        QCOMPARE(clientTableLines(table), expected);
    }

    void heartbeatAnswerFollowsTheState() {
        auto c = client();
        auto answer = [&] { return c->ask(frames::heartbeat()); };
        QCOMPARE(answer(), "[___TEST]\n\r{_ENDE__}");
        m_sim->run("busy 12,17");
        QCOMPARE(answer(), "[___TEST]\n\rBUSY,12,17,{_ENDE__}");
        m_sim->run("busy none");
        QCOMPARE(answer(), "[___TEST]\n\rBUSY,{_ENDE__}");
        // An alarm goes out instead of the busy list, which would withdraw it.
        m_sim->run("alarm 23");
        QCOMPARE(answer(), "[___TEST]\n\r23\n\r{_ENDE__}");
        m_sim->run("alarm-off on");
        QCOMPARE(answer(), "[___test]\n\r23\n\r{_ENDE__}");
        m_sim->run("alarm-off off");
        m_sim->run("alarm clear");
        QCOMPARE(answer(), "[___TEST]\n\rBUSY,{_ENDE__}");
        // Without a busy list only an empty line withdraws the alarm a client still shows.
        m_sim->run("busy off");
        QCOMPARE(answer(), "[___TEST]\n\r\n\r{_ENDE__}");

        // Silent: the heartbeat gets no answer, so the table answer is the next frame.
        m_sim->run("silent on");
        c->send(frames::heartbeat());
        QVERIFY(c->ask(frames::tableRequest()).startsWith("[___D_IN]"));
        m_sim->run("silent off");
        m_sim->run("table-off on");
        c->send(frames::tableRequest());
        QVERIFY(answer().startsWith("[___TEST]"));
        QVERIFY(c->received.isEmpty());
    }

    void badCommandsChangeNothing() {
        SimControl& control = m_sim->control;
        for (const char* bad :
             {"alarm", "alarm 1,2", "busy 12,,17", "busy 1{2", "silent maybe", "charge x 1.00",
              "charge 99 1.00", "charge 1 1234.567", "frobnicate"})
            QVERIFY2(!control.execute(QString::fromLatin1(bad)).ok, bad);
        QVERIFY(m_sim->server.state().alarm.isEmpty());
        QVERIFY(!m_sim->server.state().busy && !m_sim->server.state().silent);
        QVERIFY(control.execute("show").text.contains(QStringLiteral("Frühstück")));
    }

    void saveIsServedAndSurvivesARestart() {
        auto c = client();
        const QByteArray before = m_sim->store.rows()[1];
        c->send(saveFrame({record("4711", "Empfang"), record("0815", "Bar")}));
        QTRY_COMPARE(m_sim->store.rows()[0].left(4), "4711");

        m_sim = std::make_unique<RunningSim>(m_path);
        c = client();
        const auto lines = clientTableLines(c->ask(frames::tableRequest()));
        QCOMPARE(lines[0].left(20), "4711                ");
        QCOMPARE(lines[1].mid(66).trimmed(), "Bar");
        QCOMPARE(lines[1].mid(60, 6), before.mid(60, 6));
    }

    void clearedChargesReadZeroAtTheNextLoad() {
        auto c = client();
        QVERIFY(m_sim->control.execute("charge 1 12.50").ok);
        c->send(frames::clearCharges("101"));
        const auto lines = clientTableLines(c->ask(frames::tableRequest()));
        QCOMPARE(lines[0].mid(60, 6), "0.00  ");
    }

    void badInputLeavesTableAndServerIntact() {
        auto c = client();
        const QList<QByteArray> before = m_sim->store.rows();
        c->send("garbage without any frame{_ENDE__}");
        c->send(frames::compose("[___test]")); // only the server sends the lower case
        c->send(saveFrame({record("4711", "x").left(99)}));
        c->send(frames::compose(frames::kSaveTable, "0\n\r" + record("1", "") + "\n\r5\n\r"));
        c->send("[___SDAT]{_ENDE__}");
        c->send(frames::compose(frames::kClearCharges, ""));
        // A frame beyond the reader's cap: dropped or rejected, depending on how the stream
        // was cut; either way the next frame after its end marker is served.
        c->send("[___SDAT]\n\r0\n\r" + QByteArray(FrameReader::kMaxPending + 1000, 'x') +
                frames::kEnd.toByteArray());
        QVERIFY(c->ask(frames::heartbeat()).startsWith("[___TEST]"));
        QCOMPARE(m_sim->store.rows(), before);

        // Byte by byte, and two frames in one write: every frame is answered, in order.
        for (char byte : frames::heartbeat())
            c->send(QByteArray(1, byte));
        QVERIFY(c->next().startsWith("[___TEST]"));
        c->send(frames::tableRequest() + frames::heartbeat());
        QVERIFY(c->next().startsWith("[___D_IN]"));
        QVERIFY(c->next().startsWith("[___TEST]"));
    }

    void clientsShareOneTableAndOutliveEachOther() {
        auto a = client();
        auto b = client();
        auto gone = client();
        QTRY_COMPARE(m_sim->server.clientCount(), 3);
        // One client leaves in the middle of a save; nothing of it is applied.
        const QByteArray save = saveFrame({record("9999", "half")});
        gone->send(save.left(save.size() / 2));
        gone->socket.waitForBytesWritten(1000);
        b->send(frames::heartbeat().left(7)); // b is in the middle of a frame too
        gone.reset();
        QTRY_COMPARE(m_sim->server.clientCount(), 2);
        b->send(frames::heartbeat().mid(7));
        QVERIFY(b->next().startsWith("[___TEST]"));
        QVERIFY(!m_sim->store.rows()[0].startsWith("9999"));

        a->send(saveFrame({record("4711", "from a")}));
        QTRY_VERIFY(m_sim->store.rows()[0].startsWith("4711"));
        QCOMPARE(clientTableLines(b->ask(frames::tableRequest()))[0].left(4), "4711");

        m_sim->run("drop");
        QTRY_COMPARE(m_sim->server.clientCount(), 0);
        QTRY_COMPARE(a->socket.state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(b->socket.state(), QAbstractSocket::UnconnectedState);
    }

    void takenPortIsRefused() {
        TableStore store(m_path);
        SimServer second(store);
        QString error;
        QVERIFY(!second.listen(QHostAddress::LocalHost, m_sim->server.port(), &error));
        QVERIFY2(error.contains(QString::number(m_sim->server.port())), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "test_sim_server.moc"

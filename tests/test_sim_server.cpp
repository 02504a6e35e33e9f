#include "SimTestClient.h"
#include "TableFixtures.h"
#include "sim/SimControl.h"
#include "sim/SimServer.h"
#include "sim/TableStore.h"
#include "table/TableLines.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QByteArray record(const QByteArray& number, const QByteArray& remark) {
    return fixtures::record(number, {}, {}, remark);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The table as the client reads it.
QList<QByteArray> tableSeen(SimTestClient& c) {
    const QByteArray frame = c.ask(frames::tableRequest());
    return frame.startsWith(frames::kTable) ? table::parseTableFrame(frame) : QList<QByteArray>();
}

// A simulator on a free loopback port, set up as the program sets it up.
struct RunningSim {
    explicit RunningSim(const QString& path) : store(path), server(store), control(server) {
        QString error;
        if (!store.open(&error) || !server.listen(QHostAddress::LocalHost, 0, &error))
            qFatal("%s", qPrintable(error));
    }
    TableStore store;
    SimServer server;
    SimControl control;
};

} // namespace

class TestSimServer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("table.txt");
    QString m_program = m_dir.filePath("program.txt");
    std::unique_ptr<RunningSim> m_sim;

    std::unique_ptr<SimTestClient> client() {
        return std::make_unique<SimTestClient>(m_sim->server.port());
    }

private slots:
    void init() {
        QFile::remove(m_path);
        m_sim = std::make_unique<RunningSim>(m_path);
    }

    void savedAndClearedRowsAreServedAndSurviveARestart() {
        QList<QByteArray> expected = m_sim->store.rows();
        expected.replace(expected.indexOf(QByteArray()), "  ");
        auto c = client();
        QCOMPARE(tableSeen(*c), expected);

        // A save keeps the charges; clearing resets them in every row whose number matches.
        m_sim->control.execute("charge 3 12.50");
        const QList<QByteArray> records{record("  4711", "Empfang \xC4rzte"), record("4711", ""),
                                        record("0815", "Bar")};
        c->send(fixtures::sdat(records) + frames::clearCharges("4711"));
        for (int i = 0; i < records.size(); ++i)
            expected[i] = records[i].left(60) + (i < 2 ? "0.00  " : "12.50 ") + records[i].mid(60);
        QCOMPARE(tableSeen(*c), expected);
        m_sim = std::make_unique<RunningSim>(m_path);
        QCOMPARE(tableSeen(*client()), expected);
    }

    void heartbeatAnswerFollowsTheState() {
        auto c = client();
        const std::pair<const char*, const char*> steps[] = {
            {"busy 12,17", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
            {"busy 1{2", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"}, // refused: "{" would end the frame
            // An alarm replaces the busy list.
            {"alarm 23", "[___TEST]\n\r23\n\r{_ENDE__}"},
            {"alarm-off on", "[___test]\n\r23\n\r{_ENDE__}"},
            {"alarm clear", "[___test]\n\rBUSY,12,17,{_ENDE__}"},
        };
        for (const auto& [command, answer] : steps) {
            m_sim->control.execute(command);
            QCOMPARE(c->ask(frames::heartbeat()), answer);
        }
        // Silent: the heartbeat goes unanswered, the next frame is the table.
        m_sim->control.execute("silent on");
        c->send(frames::heartbeat());
        QVERIFY(c->ask(frames::tableRequest()).startsWith(frames::kTable));
    }

    void malformedRequestsChangeNothing_data() {
        QTest::addColumn<QByteArray>("frame");
        const QByteArray good = record("4711", "x");
        const auto save = [](const QByteArray& body) {
            return frames::compose(frames::kSaveTable, body);
        };
        QTest::newRow("short record") << fixtures::sdat({good, good.left(99)});
        QTest::newRow("wrong index") << save("0\n\r" + good + "\n\r2\n\r" + good + "\n\r");
        QTest::newRow("more rows than the table") << fixtures::sdat(QList<QByteArray>(42, good));
        QTest::newRow("clearing an unknown number") << frames::clearCharges("999");
    }

    void malformedRequestsChangeNothing() {
        QFETCH(QByteArray, frame);
        const QList<QByteArray> before = m_sim->store.rows();
        QVERIFY(client()->ask(frame + frames::heartbeat()).startsWith(frames::kHeartbeat));
        QCOMPARE(m_sim->store.rows(), before);
    }

    // One client leaving in the middle of a save changes nothing; another's save is seen by all.
    void clientsShareOneTableAndOutliveEachOther() {
        auto a = client(), gone = client();
        const QByteArray save = fixtures::sdat({record("9999", "half")});
        gone->send(save.left(save.size() / 2));
        gone->socket.waitForBytesWritten(1000);
        gone.reset();
        QTRY_COMPARE(m_sim->server.clientCount(), 1);
        a->send(fixtures::sdat({record("4711", "from a")}));
        QCOMPARE(tableSeen(*client()).value(0).left(4), "4711");
    }

    void interruptedWriteKeepsTheOldTableAndTheNextStartRemovesItsTemporary() {
        TableStore& store = m_sim->store;
        const QList<QByteArray> before = store.rows();
        const QByteArray file = readFile(m_path);
        QString tempName, message;
        store.file().setBeforeRename([&](const QString& name) {
            tempName = name;
            return false;
        });
        QVERIFY(!store.applySave({record("4711", "new")}, &message));
        // The new table is on disk in full beside the untouched old one.
        QVERIFY(readFile(tempName).startsWith(record("4711", "").left(60)));
        QCOMPARE(readFile(tempName).count('\n'), before.size());
        QCOMPARE(readFile(m_path), file);
        QCOMPARE(store.rows(), before);

        // A file merely alike belongs to someone else and survives the next start.
        const QString other = m_dir.filePath("table.txt.tmp-abc123.bak");
        QVERIFY(QFile(other).open(QIODevice::WriteOnly));
        m_sim = std::make_unique<RunningSim>(m_path);
        QVERIFY(!QFile::exists(tempName) && QFile::exists(other));
        QCOMPARE(m_sim->store.rows(), before);
    }

    // The torvanel-sim program itself: its standard input and its exit codes.
    void obeysCommandsTypedOnStandardInput() {
        QProcess sim;
        sim.start(TORVANEL_SIM, {"--port", "0", "--table", m_program});
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QString log;
        QVERIFY(QTest::qWaitFor(
            [&] { return listening.match(log += sim.readAllStandardError()).hasMatch(); }));
        SimTestClient c(quint16(listening.match(log).captured(1).toUInt()));
        sim.write("busy 12,17\n");
        QTRY_COMPARE(c.ask(frames::heartbeat()), "[___TEST]\n\rBUSY,12,17,{_ENDE__}");
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "test_sim_server.moc"

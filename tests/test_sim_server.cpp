#include "SimTestClient.h"
#include "TableFixtures.h"
#include "sim/SimControl.h"
#include "sim/SimServer.h"
#include "sim/TableStore.h"
#include "wire/TableLines.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace {

QByteArray record(const QByteArray& number, const QByteArray& remark) {
    return fixtures::record(number, {}, {}, remark);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> tableSeen(SimTestClient& c) {
    const QByteArray frame = c.ask(frames::tableRequest());
    return frame.startsWith(frames::kTable) ? table::parseTableFrame(frame) : QList<QByteArray>();
}

// What a client got before the next table, which closes a round: the connection keeps the
// order, so nothing sent before the table can still be on its way.
QList<QByteArray> framesBeforeTable(SimTestClient& c) {
    if (!QTest::qWaitFor(
            [&] { return !c.received.isEmpty() && c.received.last().startsWith(frames::kTable); }))
        return {"no table"};
    QList<QByteArray> before = std::exchange(c.received, {});
    before.removeLast();
    return before;
}

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
    std::unique_ptr<RunningSim> m_sim;

private slots:
    void init() {
        QFile::remove(m_path);
        m_sim = std::make_unique<RunningSim>(m_path);
    }

    void savedAndClearedRowsAreServedAndSurviveARestart() {
        QList<QByteArray> expected = m_sim->store.rows();
        expected.replace(expected.indexOf(QByteArray()), "  ");
        SimTestClient c(m_sim->server.port());
        QCOMPARE(tableSeen(c), expected);

        // A save keeps the charges; clearing resets them in each row of the number.
        m_sim->control.execute("charge 3 12.50");
        const QList<QByteArray> records{record("  4711", "Empfang \xC4rzte"), record("4711", ""),
                                        record("0815", "Bar")};
        c.send(fixtures::sdat(records) + frames::clearCharges("4711"));
        for (int i = 0; i < records.size(); ++i)
            expected[i] = records[i].left(60) + (i < 2 ? "0.00  " : "12.50 ") + records[i].mid(60);
        QCOMPARE(tableSeen(c), expected);
        m_sim = std::make_unique<RunningSim>(m_path);
        SimTestClient after(m_sim->server.port());
        QCOMPARE(tableSeen(after), expected);
    }

    void heartbeatAnswerFollowsTheState() {
        SimTestClient c(m_sim->server.port());
        const std::pair<const char*, const char*> steps[] = {
            {"busy 12,17", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
            {"busy 1{2", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"}, // refused: "{" would end the frame
            {"alarm 23", "[___TEST]\n\r23\n\r{_ENDE__}"},
            {"alarm clear", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
        };
        for (const auto& [command, answer] : steps) {
            m_sim->control.execute(command);
            QCOMPARE(c.ask(frames::heartbeat()), answer);
        }
    }

    void lateHeartbeatAnswersKeepTheirOrderAndTellTheStateWhenSent() {
        SimControl& control = m_sim->control;
        const quint16 port = m_sim->server.port();
        QVERIFY(!control.execute("delay-test -1").ok);
        QVERIFY(control.execute("delay-test 200").ok);
        QElapsedTimer clock;
        clock.start();
        // A client that leaves before its answer is due must not take the server with it,
        // and the table is answered at once: a late heartbeat holds up nothing else.
        QVERIFY(SimTestClient(port)
                    .ask(frames::heartbeat() + frames::tableRequest())
                    .startsWith(frames::kTable));
        SimTestClient c(port);
        QVERIFY(c.ask(frames::heartbeat() + frames::tableRequest()).startsWith(frames::kTable));
        // A shorter delay must not let the next answer overtake the one still waiting.
        control.execute("delay-test 0");
        c.send(frames::heartbeat());
        control.execute("alarm 23");
        QVERIFY(QTest::qWaitFor([&] { return !c.received.isEmpty(); }));
        QCOMPARE_GE(clock.elapsed(), 200);
        QTRY_COMPARE(c.received, QList<QByteArray>(2, "[___TEST]\n\r23\n\r{_ENDE__}"));
    }

    void lateTablesAreEachAnsweredAsStoredWhenSent() {
        QVERIFY(m_sim->control.execute("delay-table 200").ok);
        SimTestClient c(m_sim->server.port());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(c.ask(frames::tableRequest() + frames::tableRequest() + frames::heartbeat())
                    .startsWith(frames::kHeartbeat));
        m_sim->control.execute("charge 3 12.50");
        QVERIFY(QTest::qWaitFor([&] { return !c.received.isEmpty(); }));
        QCOMPARE_GE(clock.elapsed(), 200);
        QTRY_COMPARE(c.received.size(), 2);
        QCOMPARE(c.received[0], c.received[1]);
        QCOMPARE(table::parseTableFrame(c.received[0]).value(2).mid(60, 6), "12.50 ");
    }

    void unaskedAndRepeatedAnswersComeAsManyAsOrdered() {
        SimControl& control = m_sim->control;
        QVERIFY(!control.execute("unasked-test 0").ok);
        SimTestClient a(m_sim->server.port()), b(m_sim->server.port());
        QTRY_COMPARE(m_sim->server.clientCount(), 2);
        control.execute("repeat on");
        a.send(frames::heartbeat() + frames::tableRequest());
        QCOMPARE(framesBeforeTable(a), QList<QByteArray>(2, "[___TEST]\n\r{_ENDE__}"));
        control.execute("repeat off");
        control.execute("busy 12");
        control.execute("unasked-test 3");
        control.execute("unasked-table");
        for (SimTestClient* c : {&a, &b})
            QCOMPARE(framesBeforeTable(*c), QList<QByteArray>(3, "[___TEST]\n\rBUSY,12,{_ENDE__}"));
    }

    void malformedRequestsChangeNothing() {
        const QByteArray good = record("4711", "x");
        const QList<QByteArray> before = m_sim->store.rows();
        for (const QByteArray& frame :
             {fixtures::sdat({good, good.left(99)}), frames::clearCharges("999"),
              frames::compose(frames::kSaveTable, "0\n\r" + good + "\n\r2\n\r" + good + "\n\r")}) {
            QVERIFY(SimTestClient(m_sim->server.port())
                        .ask(frame + frames::heartbeat())
                        .startsWith(frames::kHeartbeat));
            QCOMPARE(m_sim->store.rows(), before);
        }
    }

    void interruptedWriteKeepsTheOldTable() {
        TableStore& store = m_sim->store;
        const QList<QByteArray> before = store.rows();
        const QByteArray file = readFile(m_path);
        QByteArray whileWriting;
        QString message;
        store.setBeforeCommit([&] {
            whileWriting = readFile(m_path);
            return false;
        });
        QVERIFY(!store.applySave({record("4711", "new")}, &message));
        QCOMPARE(whileWriting, file);
        QCOMPARE(readFile(m_path), file);
        QCOMPARE(store.rows(), before);
        // A write given up in an orderly way takes its temporary file with it.
        QCOMPARE(QDir(m_dir.path()).entryList({"table.txt*"}, QDir::Files | QDir::Hidden),
                 QStringList{"table.txt"});
        m_sim = std::make_unique<RunningSim>(m_path);
        QCOMPARE(m_sim->store.rows(), before);
    }

    void nextStartRemovesTheTemporaryOfAKilledWriteOnly() {
        {
            // Qt names the temporary file of a write as it names this one.
            QTemporaryFile named(m_path);
            QVERIFY(named.open());
            QVERIFY2(QRegularExpression("^table\\.txt\\.[A-Za-z]{6}$")
                         .match(QFileInfo(named.fileName()).fileName())
                         .hasMatch(),
                     qPrintable(named.fileName()));
        }

        const QList<QByteArray> before = m_sim->store.rows();
        m_sim.reset();
        const QStringList leftovers{"table.txt.aBcDeF", "table.txt.ZgjMmi"};
        const QStringList others{"table.txt.backup",  "table.txt.BEFORE", "table.txt.aBcDe1",
                                 "table.txt.aBcDeFg", "table.txtxaBcDeF", "other.txt.aBcDeF"};
        for (const QString& name : leftovers + others) {
            QFile f(m_dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("1234");
        }
        m_sim = std::make_unique<RunningSim>(m_path);
        for (const QString& name : leftovers)
            QVERIFY2(!QFile::exists(m_dir.filePath(name)), qPrintable(name));
        for (const QString& name : others) {
            QVERIFY2(QFile::exists(m_dir.filePath(name)), qPrintable(name));
            QFile::remove(m_dir.filePath(name));
        }
        QCOMPARE(m_sim->store.rows(), before);
    }

    void obeysCommandsTypedOnStandardInput() {
        QProcess sim;
        sim.start(TORVANEL_SIM, {"--port", "0", "--table", m_dir.filePath("program.txt")});
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QString log;
        QVERIFY(QTest::qWaitFor(
            [&] { return listening.match(log += sim.readAllStandardError()).hasMatch(); }));
        SimTestClient c(quint16(listening.match(log).captured(1).toUInt()));
        sim.write("busy 12,17\n");
        QTRY_COMPARE(c.ask(frames::heartbeat()), "[___TEST]\n\rBUSY,12,17,{_ENDE__}");
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "test_sim_server.moc"

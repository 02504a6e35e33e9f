#include "Files.h"
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

using fixtures::record;

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

    // A save keeps the charges; clearing resets them in each row of the number; both are
    // served and survive a restart. Malformed requests change nothing.
    void savedAndClearedRowsAreServedAndSurviveARestart() {
        QList<QByteArray> expected = m_sim->store.rows();
        expected.replace(expected.indexOf(QByteArray()), "  ");
        SimTestClient c(m_sim->server.port());
        const QByteArray good = record("4711", "x");
        c.send(fixtures::sdat({good, good.left(99)}) + frames::clearCharges("999") +
               frames::compose(frames::kSaveTable, "0\n\r" + good + "\n\r2\n\r" + good + "\n\r"));
        QCOMPARE(tableSeen(c), expected);
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

    // A late heartbeat answer holds up no table, a shorter delay does not let the next answer
    // overtake it, and each tells the state when it is sent. A client gone before then is no
    // harm.
    void lateHeartbeatAnswersKeepTheirOrderAndTellTheStateWhenSent() {
        SimControl& control = m_sim->control;
        QCOMPARE((QList<bool>{control.execute("delay-test -1").ok,
                              control.execute("delay-test 200").ok}),
                 (QList<bool>{false, true}));
        QElapsedTimer clock;
        clock.start();
        const QByteArray both = frames::heartbeat() + frames::tableRequest();
        QVERIFY(SimTestClient(m_sim->server.port()).ask(both).startsWith(frames::kTable));
        SimTestClient c(m_sim->server.port());
        QVERIFY(c.ask(both).startsWith(frames::kTable));
        control.execute("delay-test 0");
        c.send(frames::heartbeat());
        control.execute("alarm 23");
        QVERIFY(QTest::qWaitFor([&] { return !c.received.isEmpty(); }));
        QCOMPARE_GE(clock.elapsed(), 200);
        QTRY_COMPARE(c.received, QList<QByteArray>(2, "[___TEST]\n\r23\n\r{_ENDE__}"));
    }

    // The demo's orders: answers repeated, and unasked ones to every client.
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

    // A write given up in an orderly way leaves the old table and takes its temporary file
    // with it; one killed leaves it behind for the next start, which removes that only.
    void anUnfinishedWriteKeepsTheOldTable() {
        const QList<QByteArray> before = m_sim->store.rows();
        const QByteArray file = fileBytes(m_path);
        QByteArray whileWriting;
        m_sim->store.setBeforeCommit([&] {
            whileWriting = fileBytes(m_path);
            return false;
        });
        QString message;
        QVERIFY(!m_sim->store.applySave({record("4711", "new")}, &message));
        QCOMPARE(whileWriting, file);
        QCOMPARE(fileBytes(m_path), file);
        QCOMPARE(m_sim->store.rows(), before);
        const auto files = [&] {
            return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        };
        QCOMPARE(files(), QStringList{"table.txt"});

        QTemporaryFile named(m_path); // Qt names a write's temporary file as it names this one
        QVERIFY(named.open());
        QVERIFY2(QRegularExpression("^table\\.txt\\.[A-Za-z]{6}$")
                     .match(QFileInfo(named).fileName())
                     .hasMatch(),
                 qPrintable(named.fileName()));
        named.remove();
        const QStringList kept{"other.txt.aBcDeF", "table.txt",         "table.txt.BEFORE",
                               "table.txt.aBcDe1", "table.txt.aBcDeFg", "table.txt.backup",
                               "table.txtxaBcDeF"};
        for (const QString& name : kept + QStringList{"table.txt.aBcDeF", "table.txt.ZgjMmi"})
            QVERIFY(QFile(m_dir.filePath(name)).open(QIODevice::Append)); // the table as it was
        m_sim = std::make_unique<RunningSim>(m_path);
        QCOMPARE(files(), kept);
        QCOMPARE(m_sim->store.rows(), before);
    }

    // The heartbeat answer tells what commands typed on standard input set; a busy line with
    // a "{", which would end the frame, is refused.
    void heartbeatAnswerFollowsCommandsOnStandardInput() {
        QProcess sim;
        sim.start(TORVANEL_SIM, {"--port", "0", "--table", m_dir.filePath("program.txt")});
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QString log;
        QVERIFY(QTest::qWaitFor(
            [&] { return listening.match(log += sim.readAllStandardError()).hasMatch(); }));
        SimTestClient c(quint16(listening.match(log).captured(1).toUInt()));
        const std::pair<const char*, const char*> steps[] = {
            {"busy 12,17\n", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
            {"busy 1{2\n", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
            {"alarm 23\n", "[___TEST]\n\r23\n\r{_ENDE__}"},
            {"alarm clear\n", "[___TEST]\n\rBUSY,12,17,{_ENDE__}"},
        };
        for (const auto& [command, answer] : steps) {
            sim.write(command);
            QTRY_COMPARE(c.ask(frames::heartbeat()), answer);
        }
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "test_sim_server.moc"

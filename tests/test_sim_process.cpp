#include "SimTestClient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

// The torvanel-sim program itself: its command line, its standard input and its exit.
class TestSimProcess : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    // Starts the program on a free port and returns the port it reports, 0 on failure.
    quint16 start(QProcess& sim, QStringList args) {
        args << QStringLiteral("--port") << QStringLiteral("0") << QStringLiteral("--table")
             << m_dir.filePath(QStringLiteral("fresh/table.txt"));
        sim.start(QStringLiteral(TORVANEL_SIM), args);
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QString log;
        const bool started = QTest::qWaitFor([&] {
            log += QString::fromLocal8Bit(sim.readAllStandardError());
            return listening.match(log).hasMatch() || sim.state() == QProcess::NotRunning;
        });
        return !started ? 0 : quint16(listening.match(log).captured(1).toUInt());
    }

private slots:
    void commandsOnStandardInputSteerTheRunningServer() {
        QProcess sim;
        const quint16 port = start(sim, {QStringLiteral("--verbose")});
        QVERIFY(port != 0);
        SimTestClient c(port);
        QVERIFY(c.connected());
        QVERIFY(c.ask(frames::tableRequest()).startsWith("[___D_IN]"));

        QByteArray out, err;
        auto said = [&](const QByteArray& what) {
            out += sim.readAllStandardOutput();
            err += sim.readAllStandardError();
            return out.contains(what) || err.contains(what);
        };
        sim.write("busy 12,17\n");
        QTRY_VERIFY(said("busy: 12,17"));
        QCOMPARE(c.ask(frames::heartbeat()), "[___TEST]\n\rBUSY,12,17,{_ENDE__}");
        QTRY_VERIFY(said("<- [___TEST]\\n\\r{_ENDE__}"));

        sim.write("no such command\nquit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(said("error: unknown command"));
    }

    void servesOnWithoutStandardInput() {
        QProcess sim;
        sim.setStandardInputFile(QProcess::nullDevice());
        const quint16 port = start(
            sim, {QStringLiteral("--alarm"), QStringLiteral("23"), QStringLiteral("--alarm-off")});
        QVERIFY(port != 0);
        SimTestClient c(port);
        QVERIFY(c.connected());
        QCOMPARE(c.ask(frames::heartbeat()), "[___test]\n\r23\n\r{_ENDE__}");
        QCOMPARE(sim.state(), QProcess::Running);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    void refusesToStartOnATakenPortOrBadOption() {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        const QString taken = QString::number(occupant.serverPort());
        QProcess sim;
        sim.start(QStringLiteral(TORVANEL_SIM),
                  {QStringLiteral("--port"), taken, QStringLiteral("--table"),
                   m_dir.filePath(QStringLiteral("taken.txt"))});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(sim.readAllStandardError()).contains(taken));

        sim.start(QStringLiteral(TORVANEL_SIM),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--busy"),
                   QStringLiteral("1{2"), QStringLiteral("--table"),
                   m_dir.filePath(QStringLiteral("taken.txt"))});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "test_sim_process.moc"

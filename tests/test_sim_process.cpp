#include "SimTestClient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

// The torvanel-sim program itself: its standard input and its exit code.
class TestSimProcess : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_table = m_dir.filePath("table.txt");

private slots:
    void obeysCommandsTypedOnStandardInput() {
        QProcess sim;
        // Its log reaches its standard error also where it has no console and nobody told Qt
        // so (on Windows Qt would give the log to a debugger then).
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_FORCE_STDERR_LOGGING"));
        sim.setProcessEnvironment(env);
        sim.start(TORVANEL_SIM, {"--port", "0", "--table", m_table});
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QString log;
        QVERIFY(QTest::qWaitFor([&] {
            log += sim.readAllStandardError();
            return listening.match(log).hasMatch();
        }));
        SimTestClient c(quint16(listening.match(log).captured(1).toUInt()));
        sim.write("busy 12,17\n");
        QTRY_COMPARE(c.ask(frames::heartbeat()), "[___TEST]\n\rBUSY,12,17,{_ENDE__}");
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }

    void refusesATakenPortAndABadOption() {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        const std::pair<QStringList, int> cases[] = {
            {{"--port", QString::number(occupant.serverPort())}, 1}, {{"--port", "x"}, 2}};
        for (const auto& [args, code] : cases) {
            QProcess sim;
            sim.start(TORVANEL_SIM, args + QStringList{"--table", m_table});
            QVERIFY(sim.waitForFinished(5000));
            QCOMPARE(sim.exitCode(), code);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "test_sim_process.moc"

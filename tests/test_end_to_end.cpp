#include "FakeServices.h"
#include "Files.h"
#include "RufNum/RufNum.h"
#include "core/table/NumberTable.h"
#include "core/watch/Watch.h"
#include "sim/SimControl.h"
#include "sim/SimServer.h"
#include "sim/TableStore.h"

#include <QTemporaryDir>
#include <QTest>

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    // The client against the simulator in this process, the watch driven tick by tick.
    void silentServerPromptsAndHeartbeatResumes() {
        QTemporaryDir dir;
        TableStore store(dir.filePath("table.txt"));
        SimServer sim(store);
        SimControl control(sim);
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        QVERIFY2(sim.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        FakeServices fake;
        writeFile(fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")),
                  "[UDPLink]\nH_Port=" + QByteArray::number(sim.port()) + "\n");
        TNummernForm form(QString(), fake.services());
        const Watch* watch = &form.client().watch();
        QList<QByteArray> served = store.rows();
        for (QByteArray& line : served)
            if (line.isEmpty())
                line = "  ";
        QTRY_COMPARE(form.client().table().lines(), served);
        QCOMPARE(watch->watchCount(), 1);

        QVERIFY(control.execute("silent on").ok);
        form.client()
            .watch()
            .Timer1Timer(); // spends the table's credit; the heartbeat goes unanswered
        QTest::qWait(50);
        QCOMPARE(watch->watchCount(), 0);
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            QVERIFY(control.execute("silent off").ok);
        };
        form.client().watch().Timer1Timer();
        QCOMPARE(fake.prompts.shown.size(), 1);
        QVERIFY(fake.prompts.shown[0].text.startsWith("Torvanel Server meldet sich nicht !"));
        // After the box: credit 4, one spent, then both heartbeats of the tick are answered.
        QTRY_COMPARE(watch->watchCount(), 4);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"

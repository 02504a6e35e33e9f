// The client against the simulator on 127.0.0.1, both in this process, with the watch
// driven tick by tick.
#include "FakeServices.h"
#include "RufNum/RufNum.h"
#include "sim/SimControl.h"
#include "sim/SimServer.h"
#include "sim/TableStore.h"
#include "table/NumberTable.h"
#include "watch/Watch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

struct Installation {
    QTemporaryDir dir;
    TableStore store{dir.filePath("table.txt")};
    SimServer sim{store};
    SimControl control{sim};
    FakeServices fake;
    std::unique_ptr<TNummernForm> form;
    Watch* watch = nullptr;

    // The client's settings name the simulator's port; the test is the watch's clock.
    void start() {
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        QVERIFY2(sim.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        QFile ini(fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[UDPLink]\nH_Port=" + QByteArray::number(sim.port()) + "\n");
        ini.close();
        form = std::make_unique<TNummernForm>(QString(), fake.services());
        watch = form->findChild<Watch*>();
        const NumberTable* table = form->findChild<NumberTable*>();
        QTRY_COMPARE(table->lines(), servedLines());
        QCOMPARE(watch->watchCount(), 1);
    }
    void command(const char* text) { QVERIFY(control.execute(QString::fromLatin1(text)).ok); }
    // One watch tick, and the server's answer to its heartbeat.
    void tickAnswered() {
        form->Timer1Timer();
        const qint32 spent = watch->watchCount();
        QTRY_COMPARE(watch->watchCount(), spent + 1);
    }
    // What the table looks like in the client: an empty line shows as two blanks.
    QList<QByteArray> servedLines() const {
        QList<QByteArray> lines = store.rows();
        for (QByteArray& l : lines)
            if (l.isEmpty())
                l = "  ";
        return lines;
    }
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void silentServerPromptsAndHeartbeatResumes() {
        Installation i;
        i.start();
        i.command("silent on");
        i.form->Timer1Timer(); // spends the table's credit; the heartbeat goes unanswered
        QTest::qWait(50);
        QCOMPARE(i.watch->watchCount(), 0);
        i.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) { i.command("silent off"); };
        i.form->Timer1Timer();
        QCOMPARE(i.fake.prompts.shown.size(), 1);
        QVERIFY(i.fake.prompts.shown[0].text.startsWith("Torvanel Server meldet sich nicht !"));
        // After the box: credit 4, one spent, then both heartbeats of the tick are answered.
        QTRY_COMPARE(i.watch->watchCount(), 5);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"

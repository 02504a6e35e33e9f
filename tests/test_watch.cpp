#include "FakeServices.h"
#include "MemoryWire.h"
#include "link/ServerLink.h"
#include "watch/AlarmJournal.h"
#include "watch/Watch.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");

struct FakeWindow final : WatchWindow {
    void alertBegin() override {}
    void alertEnd() override {}
};

struct Watched {
    FakeServices fake;
    MemoryWire wire;
    FakeWindow window;
    Watch watch{wire, fake.services(), window};

    Watched() {
        QObject::connect(&wire, &ServerWire::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
    }
    // The ticks (1-based) at which a box was shown.
    QList<int> promptTicks(int ticks) {
        QList<int> at;
        for (int t = 1; t <= ticks; ++t) {
            const auto before = fake.prompts.shown.size();
            watch.Timer1Timer();
            if (fake.prompts.shown.size() > before)
                at.append(t);
        }
        return at;
    }
    qsizetype heartbeats() const { return wire.sent.count(frames::heartbeat()); }
    QString stored() const { return fake.store.values.value("Belegt/Belegt=").toString(); }
};

// The journal's events, each without its time stamp, which must be there.
QStringList journalEvents(const QString& path) {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}(-\\d\\d){2} \\d\\d(:\\d\\d){2}  "));
    QFile file(path);
    QStringList events;
    if (file.open(QIODevice::ReadOnly))
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            events << (stamp.match(line).hasMatch() ? line.mid(21) : line);
    return events;
}

} // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    // A silent server is reported at the fifth tick and every fourth after, with the busy list
    // from the store, however many answers came before; a table sets the credit to exactly 1.
    void aSilentServerIsReportedOnSchedule() {
        Watched w;
        w.fake.store.values.insert("Belegt/Belegt=", QStringLiteral("17"));
        QCOMPARE(w.promptTicks(9), (QList<int>{5, 9}));
        QCOMPARE(w.fake.prompts.shown[0].text, kSilent + "\n\rAktivierte Nst. = 17");
        w.wire.up();
        for (int i = 0; i < 1000; ++i) // nobody asked for these
            w.wire.answer("\n\r");
        QCOMPARE(w.promptTicks(5), QList<int>{5});
        w.watch.tableArrived();
        QCOMPARE(w.promptTicks(2), QList<int>{2});
        // A coarse timer may fire 5 % early.
        QCOMPARE(w.watch.timer1().timerType(), Qt::PreciseTimer);
    }

    // Answers only remember the busy list; the tick writes the latest one when it differs
    // from what the store holds, and tries a refused write again.
    void theTickWritesTheLatestBusyList() {
        Watched w;
        w.wire.up();
        for (int i = 0; i < 100; ++i)
            w.wire.answer(i % 2 ? "\n\rBUSY,17," : "\n\rBUSY,12,");
        QCOMPARE(w.fake.store.writes, 0);
        w.promptTicks(2);
        QCOMPARE(w.stored(), QStringLiteral("17"));
        QCOMPARE(w.fake.store.writes, 1);
        w.wire.answer("\n\rBUSY,12,17,");
        w.wire.answer("\n\rBUSY,17,"); // back to what is stored
        w.promptTicks(1);
        QCOMPARE(w.fake.store.writes, 1);
        w.fake.store.failWrites = true;
        w.wire.answer("\n\rBUSY,12,");
        w.promptTicks(2);
        QCOMPARE(w.fake.store.writes, 3);
        w.fake.store.failWrites = false;
        w.promptTicks(2);
        QCOMPARE(w.stored(), QStringLiteral("12"));
        QCOMPARE(w.fake.store.writes, 4);
    }

    // An alarm shows at once, not inside the read handler, and is never stacked; under an open
    // prompt the ticks spend the credit, repair the link and send the heartbeat.
    void anAlarmShowsAtOnceAndNoPromptStopsTheWatch() {
        Watched w;
        w.wire.up();
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            const auto before = w.fake.prompts.shown.size();
            if (box.text == kSilent) {
                w.wire.down();
                w.watch.Timer1Timer();
                QCOMPARE(w.wire.opens, 1);
                w.wire.up();
                w.watch.Timer1Timer();
                QCOMPARE(w.heartbeats(), 1);
                w.wire.answer("\n\r31\n\r");
            } else if (before == 1) {
                w.wire.answer("\n\r17\n\r"); // the same alarm again
                w.wire.answer("\n\r23\n\r");
                QCOMPARE(w.promptTicks(9), QList<int>{}); // the credit stops at 0
            }
            QCoreApplication::processEvents();
            QCOMPARE(w.fake.prompts.shown.size(), before);
        };
        w.wire.answer("\n\r17\n\r");
        QTRY_COMPARE(w.fake.prompts.shown.size(), 2);
        w.wire.take();
        w.watch.Timer1Timer(); // the credit ran down under the prompt: the server is silent
        QTRY_COMPARE(w.fake.prompts.texts(), (QStringList{"Alarm von Nst. 17", "Alarm von Nst. 23",
                                                          kSilent, "Alarm von Nst. 31"}));
        // One heartbeat under the prompt, one after it, one in the tick.
        QCOMPARE(w.heartbeats(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(w.fake.prompts.shown.size(), 4);
    }

    // In order, one line per event, one older file at the limit, a failure told once.
    void theJournalKeepsTheAlarmsAndTheLink() {
        Watched w;
        const QString path = journalPath(w.fake.dataDir.path(), QStringLiteral("Haus/3"));
        AlarmJournal journal(path);
        journal.follow(w.watch, w.wire);
        w.wire.up();
        w.wire.down();
        w.wire.answer("\n\r17\n\r");
        QCoreApplication::processEvents(); // the alarm shows from a posted event
        w.wire.answer("\n\r\n\r");
        w.promptTicks(7);
        QCOMPARE(journalEvents(path),
                 (QStringList{"Verbindung zum Server hergestellt", "Verbindung zum Server verloren",
                              "Alarm von Nst. 17", "Alarm von Nst. 17 quittiert nach 0 s",
                              "Alarm von Nst. 17 vom Server beendet", "Server meldet sich nicht"}));
        const QString small = w.fake.dataDir.filePath(QStringLiteral("j.txt"));
        AlarmJournal bounded(small, 100);
        for (int i = 0; i < 5; ++i) // 43-byte lines, two to a file
            bounded.record(QStringLiteral("Ereignis %1 ").arg(i) + QString(10, 'x'));
        QCOMPARE(journalEvents(small), QStringList{"Ereignis 4 xxxxxxxxxx"});
        QCOMPARE(journalEvents(small + ".1").size(), 2);
        AlarmJournal blocked(small + "/unter einer Datei.txt", 1);
        QSignalSpy told(&blocked, &AlarmJournal::cannotWrite);
        for (const char* event : {"a", "b"})
            blocked.record(QString::fromLatin1(event));
        QCOMPARE(told.size(), 1);
    }

    void timer1RunsTheTickAlsoUnderItsOwnPrompt() {
        FakeServices fake;
        fake.watchIntervalMs = 1;
        ServerLink link(10);
        FakeWindow window;
        Watch watch(link, fake.services(), window);
        bool beepedUnderIt = false;
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            beepedUnderIt = QTest::qWaitFor([&] { return !fake.beeper.beeps.isEmpty(); });
            fake.prompts.whileOpen = {};
        };
        QTRY_COMPARE(fake.prompts.shown.value(0).text, kSilent);
        QVERIFY(beepedUnderIt);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "test_watch.moc"

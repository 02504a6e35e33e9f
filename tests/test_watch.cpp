// What the model test cannot see of the watch: the store refusing a write, the real timer.
// The rules of ticks, answers and prompts in sequence are checked there.
#include "FakeServices.h"
#include "FakeWindow.h"
#include "MemoryWire.h"
#include "core/watch/Watch.h"

#include <QTest>

namespace {

const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");

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
    QString stored() const { return fake.store.values.value("Belegt/Belegt=").toString(); }
};

} // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    // A silent server is reported at the fifth tick and every fourth after, with the busy list
    // from the store.
    void aSilentServerIsReportedOnSchedule() {
        Watched w;
        w.fake.store.values.insert("Belegt/Belegt=", QStringLiteral("17"));
        QCOMPARE(w.promptTicks(9), (QList<int>{5, 9}));
        QCOMPARE(w.fake.prompts.shown[0].text, kSilent + "\n\rAktivierte Nst. = 17");
        // Ticks with no prompt open are silent; the beep is for one left open.
        QCOMPARE(w.fake.beeper.beeps.size(), 0);
        // A coarse timer may fire 5 % early.
        QCOMPARE(w.watch.timer1().timerType(), Qt::PreciseTimer);
    }

    // A busy list the store refused is written again at the next tick, and then no more.
    void aRefusedBusyListIsWrittenAgain() {
        Watched w;
        w.wire.up();
        w.fake.store.failWrites = true;
        w.wire.answer("\n\rBUSY,12,");
        w.promptTicks(2);
        QCOMPARE(w.fake.store.writes, 2);
        w.fake.store.failWrites = false;
        w.promptTicks(2);
        QCOMPARE(w.stored(), QStringLiteral("12"));
        QCOMPARE(w.fake.store.writes, 3);
    }

    void timer1RunsTheTickAlsoUnderItsOwnPrompt() {
        FakeServices fake;
        fake.watchIntervalMs = 1;
        MemoryWire link;
        FakeWindow window;
        Watch watch(link, fake.services(), window);
        bool beepedUnderIt = false;
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            beepedUnderIt = QTest::qWaitFor([&] { return !fake.beeper.beeps.isEmpty(); });
            fake.prompts.whileOpen = {};
        };
        QTRY_COMPARE(fake.prompts.shown.value(0).text, kSilent);
        QVERIFY(beepedUnderIt);
        QCOMPARE(fake.beeper.beeps.value(0), (QPair<int, int>(500, 250))); // Hz, ms
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "test_watch.moc"

#include "FakeServices.h"
#include "MemoryWire.h"
#include "core/watch/Watch.h"

#include <QTest>
#include <limits>

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
    // The boxes `act` opened itself, and those the posted events after it opened.
    QPair<qsizetype, qsizetype> boxes(const std::function<void()>& act) {
        const auto before = fake.prompts.shown.size();
        act();
        const auto inside = fake.prompts.shown.size();
        QCoreApplication::processEvents();
        return {inside - before, fake.prompts.shown.size() - inside};
    }
    qsizetype heartbeats() const { return wire.sent.count(frames::heartbeat()); }
    QString stored() const { return fake.store.values.value("Belegt/Belegt=").toString(); }
};

// Five-second ticks and a server that answers every heartbeat three seconds after it went
// out, while the operator keeps every box open for 2.5 s. The clock (ms) moves only here.
struct Timeline {
    Watched& w;
    qint64 now = 0;
    qint64 nextTick = 0;
    int ticks = 0;
    qsizetype heard = 0; // sent frames already given their answer's time
    QList<qint64> due;

    explicit Timeline(Watched& watched) : w(watched) {}
    void runUntil(qint64 end) {
        for (;;) {
            for (; heard < w.wire.sent.size(); ++heard)
                if (w.wire.sent[heard] == frames::heartbeat())
                    due.append(now + 3000);
            QCoreApplication::processEvents(); // a posted box opens now
            const qint64 answerAt = due.isEmpty() ? std::numeric_limits<qint64>::max() : due[0];
            now = qMin(qMin(nextTick, answerAt), end);
            if (now == end)
                return;
            if (now == answerAt) {
                due.removeFirst();
                w.wire.answer("\n\r17\n\r");
            } else {
                nextTick += 5000;
                ++ticks;
                w.watch.Timer1Timer();
            }
        }
    }
};

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
        // Ticks with no prompt open are silent; the beep is for one left open.
        QCOMPARE(w.fake.beeper.beeps.size(), 0);
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

    // While the link is up a standing alarm comes back with the next answer that still reports
    // it, from a posted event; the tick after shows it when no answer came, and a tick without
    // a link at once.
    void aStandingAlarmComesBackWithTheNextAnswer() {
        Watched w;
        w.wire.up();
        const QPair<qsizetype, qsizetype> none{0, 0}, posted{0, 1}, inside{1, 0};
        const auto tick = [&w] { w.watch.Timer1Timer(); };
        const auto answer = [&w](const QByteArray& body) {
            return [&w, body] { w.wire.answer(body); };
        };
        QCOMPARE(w.boxes(answer("\n\r\xC4\x31\x37\n\r")), posted);
        QCOMPARE(w.boxes(tick), none);
        QCOMPARE(w.boxes(answer("\n\r")), posted); // no body: the alarm stands
        QCOMPARE(w.watch.alarmNst(), QByteArray("\xC4\x31\x37"));
        tick();
        QCOMPARE(w.boxes(answer("\n\r\n\r")), none);
        QCOMPARE(w.boxes(answer("\n\r23\n\r")), posted);
        QCOMPARE(w.boxes(tick), none);
        QCOMPARE(w.boxes(tick), inside);
        w.wire.down();
        QCOMPARE(w.boxes(tick), inside);
        QCOMPARE(w.fake.prompts.texts().last(), QStringLiteral("Alarm von Nst. 23"));
    }

    // An operator who holds the alarm box open over the next tick does not make a server that
    // answers every heartbeat three seconds later look silent.
    void aSlowOperatorDoesNotSilenceTheServer() {
        Watched w;
        w.wire.up();
        w.wire.answer("\n\r17\n\r");
        QCoreApplication::processEvents();
        w.watch.tableArrived(); // with the alarm still standing
        Timeline clock(w);
        QList<int> unsent; // per box: the ticks whose heartbeat had not gone out when it opened
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            unsent.append(clock.ticks - int(w.heartbeats()));
            clock.runUntil(clock.now + 2500);
        };
        clock.runUntil(120 * 1000);
        QCOMPARE(w.fake.prompts.texts().filter(kSilent), QStringList{});
        QVERIFY(unsent.size() > 10);
        QCOMPARE(unsent, QList<int>(unsent.size(), 0));
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
        // The answer to the tick's heartbeat finds the alarm already seen.
        QCOMPARE(w.boxes([&w] { w.wire.answer("\n\r31\n\r"); }), (QPair<qsizetype, qsizetype>{}));
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
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "test_watch.moc"

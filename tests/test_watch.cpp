#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"
#include "watch/Watch.h"

#include <QTest>
#include <limits>

using namespace fixtures;

namespace {

const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");
const QString kCaption = QStringLiteral(" A C H T U N G ");

// Stands in for the window: red while an alert is on.
struct FakeWindow final : WatchWindow {
    bool red = false;
    int alerts = 0;
    void alertBegin() override {
        red = true;
        ++alerts;
    }
    void alertEnd() override { red = false; }
};

struct Watched {
    FakeServices fake;
    ServerLink link{10};
    FakeWindow window;
    Watch watch{link, fake.services(), window};

    // The ticks (1-based) at which a box was shown, over `ticks` ticks.
    QList<int> promptTicks(int ticks, const std::function<void(int)>& beforeTick = {}) {
        QList<int> at;
        for (int t = 1; t <= ticks; ++t) {
            if (beforeTick)
                beforeTick(t);
            const auto before = fake.prompts.shown.size();
            watch.Timer1Timer();
            if (fake.prompts.shown.size() > before)
                at.append(t);
        }
        return at;
    }
    void answered(const QByteArray& body = "\n\r") {
        watch.heartbeatAnswered(readHeartbeat(answer(body)));
    }
    bool attach(LoopbackPeer& peer) {
        link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        watch.Timer1Timer(); // the tick opens the link
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

} // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    void silentServerIsReportedOnScheduleWithTheGridRed() {
        Watched w;
        bool redWhileOpen = false;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            redWhileOpen = w.window.red;
        };
        // No answers from the start: tick 5, then every fourth tick.
        QCOMPARE(w.promptTicks(13), (QList<int>{5, 9, 13}));
        const auto& box = w.fake.prompts.shown.first();
        QCOMPARE(box.text, kSilent);
        QCOMPARE(box.caption, kCaption);
        QCOMPARE(box.flags, mb::OkCancel | mb::IconHand);
        QVERIFY(redWhileOpen);
        QVERIFY(!w.window.red);
        QCOMPARE(w.window.alerts, 3);
    }

    void answersAndTablesSetTheCredit() {
        Watched w;
        // Two answers more than asked for before tick 2: the prompt moves from 5 to 7.
        const auto at = w.promptTicks(7, [&](int t) {
            if (t == 2) {
                w.answered();
                w.answered();
            }
        });
        QCOMPARE(at, QList<int>{7});
        // A table sets the credit to exactly 1: the next tick spends it, the one after alarms.
        w.watch.tableArrived();
        QCOMPARE(w.promptTicks(2), QList<int>{2});
        // The credit saturates instead of turning negative.
        const qint32 max = std::numeric_limits<qint32>::max();
        QCOMPARE(creditAfterAnswer(max), max);
        QCOMPARE(creditAfterAnswer(max - 1), max);
    }

    void heartbeatAnswersStoreTheBusyListAndSetTheAlarm() {
        Watched w;
        w.answered("\n\r\xC4"
                   "17\n\r");
        QCOMPARE(w.watch.alarmNst(), QByteArray("\xC4"
                                                "17"));
        // No body leaves the alarm standing; an empty line withdraws it.
        w.answered("\n\r");
        QCOMPARE(w.watch.alarmNst(), QByteArray("\xC4"
                                                "17"));

        // The store is written when the list changes, not with every answer.
        const auto stored = [&w] { return w.fake.store.values.value("Belegt/Belegt="); };
        w.answered("\n\rBUSY,12,17,");
        QCOMPARE(stored(), QVariant(QStringLiteral("12,17")));
        w.answered("\n\rBUSY,12,17,");
        w.answered("\n\r");
        QCOMPARE(w.fake.store.writes, 1);
        // Of two lists in one answer ("BUSY,12" and "12") the later one is the list.
        w.answered("\n\rBUSY,BUSY,12,");
        QCOMPARE(stored(), QVariant(QStringLiteral("12")));
        // A refused write costs the answer nothing else, and the next answer, whatever it
        // holds, tries again.
        w.answered("\n\r17\n\r");
        w.fake.store.failWrites = true;
        w.answered("\n\rBUSY,9,");
        QCOMPARE(w.watch.alarmNst(), QByteArray());
        QCOMPARE(w.watch.watchCount(), 4 + 8);
        w.fake.store.failWrites = false;
        w.answered("\n\r");
        QCOMPARE(stored(), QVariant(QStringLiteral("9")));
        QCOMPARE(w.fake.store.writes, 4);
    }

    void tickDuringAnOpenPromptOnlyBeeps() {
        Watched w;
        w.promptTicks(4);
        int creditInside = -1;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            creditInside = w.watch.watchCount();
            w.watch.Timer1Timer();
            w.watch.Timer1Timer();
            QCOMPARE(w.watch.watchCount(), creditInside);
            QVERIFY(w.watch.isBusy());
        };
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{500, 250}, {500, 250}}));
        QCOMPARE(creditInside, 0);
        QCOMPARE(w.watch.watchCount(), 3); // 4 after the prompt, one spent
        QVERIFY(!w.watch.isBusy());
    }

    void silentAndAlarmInOneTickAndTheLinkKeptOpen() {
        Watched w;
        LoopbackPeer peer;
        QVERIFY(w.attach(peer));
        QTRY_VERIFY(peer.frames.contains(frames::tableRequest()));
        // An alarm, then a table: one tick spends the table's credit, the next finds none.
        w.answered("\n\r17\n\r");
        w.watch.tableArrived();
        w.watch.Timer1Timer();
        w.fake.prompts.shown.clear();
        w.window.alerts = 0;
        QTRY_VERIFY(peer.frames.contains(frames::heartbeat()));
        peer.frames.clear();

        QList<int> creditWhileOpen;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            creditWhileOpen.append(w.watch.watchCount());
        };
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        QCOMPARE(w.fake.prompts.shown[0].text, kSilent);
        QCOMPARE(w.fake.prompts.shown[1].text, QStringLiteral("Alarm von Nst. 17"));
        QCOMPARE(w.fake.prompts.shown[1].caption, kCaption);
        QCOMPARE(w.fake.prompts.shown[1].flags, mb::Ok);
        QCOMPARE(w.window.alerts, 2);
        // The credit is spent only after both prompts.
        QCOMPARE(creditWhileOpen, (QList<int>{0, 4}));
        QCOMPARE(w.watch.watchCount(), 3);
        // One heartbeat after the silent prompt, one at the end of the tick.
        QTRY_COMPARE(peer.frames, (QList<QByteArray>{frames::heartbeat(), frames::heartbeat()}));
        // The alarm stands until the server withdraws it: it comes again at the next tick.
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 3);

        // A link that went down is opened again by the next tick, and only then.
        peer.socket->disconnectFromHost();
        QTRY_VERIFY(!w.link.isConnected());
        QCOMPARE(peer.connections, 1);
        w.watch.Timer1Timer();
        QTRY_COMPARE(peer.connections, 2);
    }

    void busyListInTheSilentPrompt() {
        Watched w;
        auto silentPrompt = [&w] {
            w.promptTicks(5);
            return w.fake.prompts.shown.last().text;
        };
        w.fake.store.values.insert("Belegt/Belegt=", QStringLiteral("17"));
        QCOMPARE(silentPrompt(), kSilent + "\n\rAktivierte Nst. = 17");
        QCOMPARE(w.watch.busyList(), QStringLiteral("17"));

        // A value of another type cannot be read: the first line alone, the old list kept.
        w.fake.store.values.insert("Belegt/Belegt=", 4711);
        w.promptTicks(3);
        QCOMPARE(w.promptTicks(1), QList<int>{1});
        QCOMPARE(w.fake.prompts.shown.last().text, kSilent);
        QCOMPARE(w.watch.busyList(), QStringLiteral("17"));

        // No value at all: the first line alone, and no list.
        w.fake.store.values.clear();
        w.promptTicks(3);
        QCOMPARE(w.promptTicks(1), QList<int>{1});
        QCOMPARE(w.fake.prompts.shown.last().text, kSilent);
        QCOMPARE(w.watch.busyList(), QString());
    }

    void timer1RunsTheTick() {
        FakeServices fake;
        fake.watchIntervalMs = 1;
        ServerLink link(10);
        FakeWindow window;
        Watch watch(link, fake.services(), window);
        QTRY_VERIFY(!fake.prompts.shown.isEmpty());
        QCOMPARE(fake.prompts.shown.first().text, kSilent);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "test_watch.moc"

#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"
#include "watch/AlarmJournal.h"
#include "watch/Watch.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
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
    // The link hands its frames to the watch, as the window wires them.
    bool attach(LoopbackPeer& peer) {
        QObject::connect(&link, &ServerLink::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
        QObject::connect(&link, &ServerLink::tableReceived, &watch, &Watch::tableArrived);
        link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        watch.Timer1Timer(); // the tick opens the link
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

// The journal's events, without their time stamps, which must be there.
QStringList journalEvents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"<missing>"};
    const QRegularExpression stamped(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  (.*)$"));
    QStringList events;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const auto match = stamped.match(line);
        events << (match.hasMatch() ? match.captured(1) : QStringLiteral("<unstamped> ") + line);
    }
    return events;
}

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

    // Under the silent-server prompt, left open, the ticks still repair the link and send the
    // heartbeat; an alarm that comes meanwhile waits for the prompt and follows it.
    void anOpenPromptNeverStopsTheWatch() {
        Watched w;
        LoopbackPeer peer;
        QVERIFY(w.attach(peer));
        w.promptTicks(3);
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSilent)
                return;
            peer.socket->disconnectFromHost();
            QTRY_VERIFY(!w.link.isConnected());
            w.watch.Timer1Timer();
            QTRY_VERIFY(w.link.isConnected());
            QCOMPARE(peer.connections, 2);
            w.watch.Timer1Timer();
            QTRY_COMPARE(peer.frames.count(frames::heartbeat()), 1);
            peer.send(answer("\n\r23\n\r"));
            QTRY_COMPARE(w.watch.alarmNst(), QByteArray("23"));
            QCoreApplication::processEvents();
            QCOMPARE(w.fake.prompts.shown.size(), 1);
        };
        peer.frames.clear();
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        QCOMPARE(w.fake.prompts.shown[1].text, QStringLiteral("Alarm von Nst. 23"));
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{500, 250}, {500, 250}}));
        QCOMPARE(w.fake.sound.played, 2);
        QCOMPARE(w.watch.watchCount(), 3); // 4 after the prompt, one spent
        QVERIFY(!w.watch.isBusy());
        QCoreApplication::processEvents();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
    }

    // An alarm between ticks is on screen at once; answers keep coming in under its prompt
    // (it was not opened inside the socket's read handler). The same alarm again stacks
    // nothing; another room's follows as soon as the prompt closes, and only once.
    void anAlarmIsShownAtOnceAndNeverStacked() {
        Watched w;
        LoopbackPeer peer;
        QVERIFY(w.attach(peer));
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            if (w.fake.prompts.shown.size() > 1)
                return;
            const qint32 credit = w.watch.watchCount();
            peer.send(answer("\n\r17\n\r"));
            QTRY_COMPARE(w.watch.watchCount(), credit + 1);
            QCoreApplication::processEvents();
            QCOMPARE(w.fake.prompts.shown.size(), 1);
            peer.send(answer("\n\r23\n\r"));
            QTRY_COMPARE(w.watch.alarmNst(), QByteArray("23"));
            // Ticks under it beep and spend the credit, which stops at 0.
            for (int tick = 0; tick < 9; ++tick)
                w.watch.Timer1Timer();
            QCOMPARE(w.fake.prompts.shown.size(), 1);
            QCOMPARE(w.fake.beeper.beeps.size(), 9);
        };
        peer.send(answer("\n\r17\n\r"));
        QTRY_COMPARE(w.fake.prompts.shown.size(), 2);
        QCOMPARE(w.fake.prompts.shown[0].text, QStringLiteral("Alarm von Nst. 17"));
        QCOMPARE(w.fake.prompts.shown[1].text, QStringLiteral("Alarm von Nst. 23"));
        QCoreApplication::processEvents();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        // The next tick finds the server silent; a standing alarm comes back with it.
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 4);
        QCOMPARE(w.fake.prompts.shown[2].text, kSilent);
        QCOMPARE(w.fake.sound.played, 4);
    }

    void silentAndAlarmInOneTickAndTheLinkKeptOpen() {
        Watched w;
        LoopbackPeer peer;
        QVERIFY(w.attach(peer));
        QTRY_VERIFY(peer.frames.contains(frames::tableRequest()));
        // An alarm, then a table: one tick spends the table's credit, the next finds none. The
        // table comes over the link, so that the link stops asking for it.
        w.answered("\n\r17\n\r");
        QSignalSpy table(&w.link, &ServerLink::tableReceived);
        peer.send(tableFrame({"4711"}));
        QTRY_COMPARE(table.count(), 1);
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

        // A link that went down is opened again by the next tick, and only then. The server
        // closes once it has read the tick's heartbeat: closing over unread bytes resets the
        // link, which the client under Wine hears of only at its next write.
        QTRY_COMPARE(peer.frames.size(), 3);
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

    void theJournalKeepsTheAlarmsAndTheLinkInOrder() {
        Watched w;
        const QString path =
            journalPath(w.fake.dataDir.path() + "/a/b", QStringLiteral("Haus/3\t"));
        QVERIFY(path.endsWith(QStringLiteral("/a/b/AlarmeHaus%2F3%09.txt")));
        QVERIFY(QFileInfo(journalPath({}, QString(300, 'x'))).fileName().size() < 100);
        AlarmJournal journal(path);
        journal.follow(w.watch, w.link);
        LoopbackPeer peer;
        QVERIFY(w.attach(peer));
        peer.socket->disconnectFromHost();
        QTRY_VERIFY(!w.link.isConnected());
        w.watch.Timer1Timer();
        QTRY_VERIFY(w.link.isConnected());
        peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.fake.prompts.shown.size(), 1);
        peer.send(answer("\n\r\n\r"));
        QTRY_VERIFY(w.watch.alarmNst().isEmpty());
        w.promptTicks(5);
        w.answered();
        QCOMPARE(journalEvents(path),
                 (QStringList{"Verbindung zum Server hergestellt", "Verbindung zum Server verloren",
                              "Verbindung zum Server hergestellt", "ALARM = AUS",
                              "Alarm von Nst. 17", "Alarm von Nst. 17 quittiert nach 0 s",
                              "ALARM = AUS aufgehoben", "Alarm von Nst. 17 vom Server beendet",
                              "Server meldet sich nicht", "Server meldet sich wieder"}));
    }

    // Whatever the server sends goes in on one line; the file never passes its limit but
    // turns into the one older file; a journal that cannot be written is told once.
    void theJournalStaysOneLineAPieceBoundedAndQuietWhenItFails() {
        const QString hostile = QStringLiteral("1\n\r2\x01\\") + QString(300, QLatin1Char('9'));
        const QString kept = journalText(hostile);
        QVERIFY(kept.startsWith(QStringLiteral("1\\x0a\\x0d2\\x01\\\\99")));
        QCOMPARE(kept.size(), 200);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j.txt"));
        AlarmJournal journal(path, 100);
        for (int i = 0; i < 5; ++i)
            journal.record(QStringLiteral("Ereignis %1 ").arg(i) + QString(10, QLatin1Char('x')));
        // Two 43-byte lines fit in 100 bytes.
        QCOMPARE(journalEvents(path).size(), 1);
        QVERIFY(journalEvents(path).first().startsWith(QStringLiteral("Ereignis 4")));
        QCOMPARE(journalEvents(path + ".1").size(), 2);
        QVERIFY(journalEvents(path + ".1").first().startsWith(QStringLiteral("Ereignis 2")));

        AlarmJournal blocked(path + "/unter einer Datei.txt");
        QSignalSpy told(&blocked, &AlarmJournal::cannotWrite);
        blocked.record(QStringLiteral("a"));
        blocked.record(QStringLiteral("b"));
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().first().toString().contains(QDir::toNativeSeparators(path)));
    }

    // The timer keeps ticking under the prompt that one of its own ticks opened.
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
        QTRY_VERIFY(!fake.prompts.shown.isEmpty());
        QCOMPARE(fake.prompts.shown.first().text, kSilent);
        QVERIFY(beepedUnderIt);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "test_watch.moc"

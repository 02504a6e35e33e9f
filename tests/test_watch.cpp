#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"
#include "watch/AlarmJournal.h"
#include "watch/Watch.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <limits>

using namespace fixtures;

namespace {

const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");

struct FakeWindow final : WatchWindow {
    bool red = false;
    void alertBegin() override { red = true; }
    void alertEnd() override { red = false; }
};

struct Watched {
    FakeServices fake;
    ServerLink link{10};
    FakeWindow window;
    Watch watch{link, fake.services(), window};

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
    void answers(const QList<QByteArray>& bodies, const QByteArray& tag = "[___TEST]") {
        for (const QByteArray& body : bodies)
            watch.heartbeatAnswered(readHeartbeat(answer(body, tag)));
    }
    // Wired as the window wires it; the first tick opens the link.
    bool attach(LoopbackPeer& peer) {
        QObject::connect(&link, &ServerLink::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
        link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        watch.Timer1Timer();
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
};

// The journal's events, each without its time stamp, which must be there.
QStringList journalEvents(const QString& path) {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}(-\\d\\d){2} \\d\\d(:\\d\\d){2}  "));
    QFile file(path);
    QStringList events;
    for (const QString& line :
         QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray())
             .split('\n', Qt::SkipEmptyParts))
        events << (stamp.match(line).hasMatch() ? line.mid(21) : "<unstamped> " + line);
    return events;
}

} // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    void silentServerIsReportedOnScheduleWithTheBusyList() {
        Watched w;
        bool redWhileOpen = false;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            redWhileOpen = w.window.red;
        };
        w.fake.store.values.insert("Belegt/Belegt=", QStringLiteral("17"));
        QCOMPARE(w.promptTicks(8), QList<int>{5});
        // A list of another type cannot be read, and the old one is kept.
        w.fake.store.values.insert("Belegt/Belegt=", 4711);
        QCOMPARE(w.promptTicks(5), (QList<int>{1, 5}));
        QCOMPARE(w.fake.prompts.texts(),
                 (QStringList{kSilent + "\n\rAktivierte Nst. = 17", kSilent, kSilent}));
        QCOMPARE(w.watch.busyList(), QStringLiteral("17"));
        QCOMPARE(w.fake.prompts.shown[0].caption, QStringLiteral(" A C H T U N G "));
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::OkCancel | mb::IconHand);
        QVERIFY(redWhileOpen && !w.window.red);
    }

    void answersSetTheAlarmTheCreditAndTheBusyList() {
        Watched w;
        const auto stored = [&w] { return w.fake.store.values.value("Belegt/Belegt=").toString(); };
        w.answers({"\n\r\xC4\x31\x37\n\r", "\n\r"}); // no body: the alarm stands
        QCOMPARE(w.watch.alarmNst(), QByteArray("\xC4\x31\x37"));
        // Stored when the list changes, not with every answer; of two lists the later counts.
        w.answers({"\n\rBUSY,12,17,", "\n\rBUSY,12,17,", "\n\r"});
        QCOMPARE(stored(), QStringLiteral("12,17"));
        QCOMPARE(w.fake.store.writes, 1);
        w.answers({"\n\rBUSY,BUSY,12,", "\n\r17\n\r"});
        QCOMPARE(stored(), QStringLiteral("12"));
        // A refused write costs the answer nothing else; the next answer tries again.
        w.fake.store.failWrites = true;
        w.answers({"\n\rBUSY,9,"});
        QCOMPARE(w.watch.alarmNst(), QByteArray());
        QCOMPARE(w.watch.watchCount(), 4 + 8);
        w.fake.store.failWrites = false;
        w.answers({"\n\r"});
        QCOMPARE(stored(), QStringLiteral("9"));
        QCOMPARE(w.fake.store.writes, 4);
        // A table sets the credit to exactly 1; answers never take it past the top.
        w.watch.tableArrived();
        QCOMPARE(w.promptTicks(2), QList<int>{2});
        QCOMPARE(creditAfterAnswer(std::numeric_limits<qint32>::max()),
                 std::numeric_limits<qint32>::max());
    }

    // Under an open prompt ticks repair the link and send the heartbeat; an alarm follows it.
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
        QCOMPARE(w.fake.prompts.texts(), (QStringList{kSilent, "Alarm von Nst. 23"}));
        QCOMPARE(w.fake.prompts.shown[1].flags, mb::Ok);
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{500, 250}, {500, 250}}));
        QCOMPARE(w.fake.sound.played, 2);
        QCOMPARE(w.watch.watchCount(), 3); // 4 after the prompt, one spent
        // One heartbeat under the prompt, one after it, one at the end of the tick.
        QTRY_COMPARE(peer.frames.count(frames::heartbeat()), 3);
        QCoreApplication::processEvents();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
    }

    // At once, not inside the read handler; the same alarm stacks nothing, another follows.
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
            QCOMPARE(w.promptTicks(9), QList<int>{});
            QCOMPARE(w.fake.beeper.beeps.size(), 9);
        };
        peer.send(answer("\n\r17\n\r"));
        QTRY_COMPARE(w.fake.prompts.shown.size(), 2);
        QCoreApplication::processEvents();
        // The credit ran down under the prompt: the next tick finds the server silent.
        w.watch.Timer1Timer();
        QCOMPARE(w.fake.prompts.texts(), (QStringList{"Alarm von Nst. 17", "Alarm von Nst. 23",
                                                      kSilent, "Alarm von Nst. 23"}));
    }

    // In order, one line per event, one older file at the limit, a failure told once.
    void theJournalKeepsTheAlarmsAndTheLinkBoundedAndQuietWhenItFails() {
        Watched w;
        const QString path =
            journalPath(w.fake.dataDir.path() + "/a/b", QStringLiteral("Haus/3\t"));
        QVERIFY(path.endsWith(QStringLiteral("/a/b/AlarmeHaus%2F3%09.txt")));
        QVERIFY(QFileInfo(journalPath({}, QString(300, 'x'))).fileName().size() < 100);
        AlarmJournal journal(path);
        journal.follow(w.watch, w.link);
        w.link.ClientZuServerConnect();
        w.link.ClientZuServerDisconnect();
        w.link.ClientZuServerConnect();
        w.answers({"\n\r17\n\r"}, "[___test]");
        QCoreApplication::processEvents(); // the alarm shows from a posted event
        w.answers({"\n\r\n\r"});
        w.promptTicks(7);
        w.answers({"\n\r"});
        QCOMPARE(journalEvents(path),
                 (QStringList{"Verbindung zum Server hergestellt", "Verbindung zum Server verloren",
                              "Verbindung zum Server hergestellt", "ALARM = AUS",
                              "Alarm von Nst. 17", "Alarm von Nst. 17 quittiert nach 0 s",
                              "ALARM = AUS aufgehoben", "Alarm von Nst. 17 vom Server beendet",
                              "Server meldet sich nicht", "Server meldet sich wieder"}));

        const QString kept = journalText(QStringLiteral("1\n\r2\x01\\") + QString(300, '9'));
        QVERIFY(kept.startsWith(QStringLiteral("1\\x0a\\x0d2\\x01\\\\99")));
        QCOMPARE(kept.size(), 200);
        const QString small = w.fake.dataDir.filePath(QStringLiteral("j.txt"));
        AlarmJournal bounded(small, 100);
        for (int i = 0; i < 5; ++i) // 43-byte lines, two to a file
            bounded.record(QStringLiteral("Ereignis %1 ").arg(i) + QString(10, 'x'));
        QCOMPARE(journalEvents(small), QStringList{"Ereignis 4 xxxxxxxxxx"});
        QCOMPARE(journalEvents(small + ".1"),
                 (QStringList{"Ereignis 2 xxxxxxxxxx", "Ereignis 3 xxxxxxxxxx"}));
        // A folder that cannot be made, or an older file that cannot be replaced: told once.
        QVERIFY(QDir().mkpath(small + "2.1/x"));
        for (const QString& failing : {small + "/unter einer Datei.txt", small + "2"}) {
            AlarmJournal blocked(failing, 1);
            QSignalSpy told(&blocked, &AlarmJournal::cannotWrite);
            for (const char* event : {"a", "b", "c"})
                blocked.record(QString::fromLatin1(event));
            QCOMPARE(told.size(), 1);
            QVERIFY(told.first().first().toString().contains(QDir::toNativeSeparators(failing)));
        }
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

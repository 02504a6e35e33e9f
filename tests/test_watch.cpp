#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "link/Frames.h"

#include <QTest>

namespace {

const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");
const QString kCaption = QStringLiteral(" A C H T U N G ");

QByteArray emptyAnswer() {
    return QByteArray("[___TEST]\n\r{_ENDE__}");
}

// The ticks (1-based) at which a box was shown, over `ticks` ticks.
QList<int> promptTicks(TNummernForm& form, ScriptedPrompts& prompts, int ticks,
                       const std::function<void(int)>& beforeTick = {}) {
    QList<int> at;
    for (int t = 1; t <= ticks; ++t) {
        if (beforeTick)
            beforeTick(t);
        const auto before = prompts.shown.size();
        form.Timer1Timer();
        if (prompts.shown.size() > before)
            at.append(t);
    }
    return at;
}

} // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    void silentServerIsReportedOnSchedule() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        // No answers from the start: tick 5, then every fourth tick.
        QCOMPARE(promptTicks(form, fake.prompts, 13), (QList<int>{5, 9, 13}));
        const auto& box = fake.prompts.shown.first();
        QCOMPARE(box.text, kSilent);
        QCOMPARE(box.caption, kCaption);
        QCOMPARE(box.flags, mb::OkCancel | mb::IconHand);
    }

    void extraAnswersDelayThePrompt() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        // Two answers more than asked for before tick 2: the prompt moves from 5 to 7.
        const auto at = promptTicks(form, fake.prompts, 7, [&](int t) {
            if (t == 2) {
                form.dispatchFrame(emptyAnswer());
                form.dispatchFrame(emptyAnswer());
            }
        });
        QCOMPARE(at, QList<int>{7});
        // A table sets the credit to exactly 1: the next tick spends it, the one after alarms.
        form.dispatchFrame("[___D_IN]\n\r{_ENDE__}");
        QCOMPARE(promptTicks(form, fake.prompts, 2), QList<int>{2});
    }

    void tickDuringAnOpenPromptOnlyBeeps() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.WatchCount = 0;
        int creditInside = -1;
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            creditInside = form.WatchCount;
            form.Timer1Timer();
            form.Timer1Timer();
            QCOMPARE(form.WatchCount, creditInside);
            QVERIFY(form.gridColor() == QColor(Qt::red));
        };
        const QColor normal = form.gridColor();
        QVERIFY(normal != QColor(Qt::red));
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.beeper.beeps, (QList<QPair<int, int>>{{500, 250}, {500, 250}}));
        QCOMPARE(form.WatchCount, 3); // 4 after the prompt, one spent
        QCOMPARE(form.gridColor(), normal);
        QVERIFY(!form.WatchBusy);
    }

    void silentAndAlarmInOneTick() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        LoopbackPeer peer;
        QVERIFY(peer.attach(form));
        form.Timer2.stop();

        form.WatchCount = 0;
        form.AlarmNst = "17";
        QList<int> creditWhileOpen;
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            creditWhileOpen.append(form.WatchCount);
            QVERIFY(form.gridColor() == QColor(Qt::red));
        };
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.size(), 2);
        QCOMPARE(fake.prompts.shown[0].text, kSilent);
        QCOMPARE(fake.prompts.shown[1].text, QStringLiteral("Alarm von Nst. 17"));
        QCOMPARE(fake.prompts.shown[1].caption, kCaption);
        QCOMPARE(fake.prompts.shown[1].flags, mb::Ok);
        // The credit is spent only after both prompts.
        QCOMPARE(creditWhileOpen, (QList<int>{0, 4}));
        QCOMPARE(form.WatchCount, 3);
        // One heartbeat after the silent prompt, one at the end of the tick.
        QTRY_COMPARE(peer.received, frames::heartbeat() + frames::heartbeat());
        // The alarm stands until the server withdraws it: it comes again at the next tick.
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.size(), 3);
        QVERIFY(form.AlarmNst == "17");
    }

    void busyListInTheSilentPrompt() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        fake.store.values.insert("Belegt/Belegt=", QStringLiteral("17"));
        form.WatchCount = 0;
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.last().text, kSilent + "\n\rAktivierte Nst. = 17");
        QCOMPARE(form.BusyList, QStringLiteral("17"));

        // A value of another type cannot be read: the first line alone, the old list kept.
        fake.store.values.insert("Belegt/Belegt=", 4711);
        form.WatchCount = 0;
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.last().text, kSilent);
        QCOMPARE(form.BusyList, QStringLiteral("17"));

        // No value at all: the first line alone, and no list.
        fake.store.values.clear();
        form.WatchCount = 0;
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.last().text, kSilent);
        QCOMPARE(form.BusyList, QString());
    }

    void afterAnUnhandledErrorTicksOnlyBeep() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.AppException(QStringLiteral("kaputt"));
        form.WatchCount = 0;
        form.AlarmNst = "5";
        const auto shown = fake.prompts.shown.size();
        form.Timer1Timer();
        QCOMPARE(fake.prompts.shown.size(), shown);
        QCOMPARE(fake.beeper.beeps.last(), (QPair<int, int>{500, 250}));
    }
};

QTEST_MAIN(TestWatch)
#include "test_watch.moc"

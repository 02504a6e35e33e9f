#include "FakeServices.h"
#include "FakeWindow.h"
#include "MemoryWire.h"
#include "core/records/AlarmJournal.h"
#include "core/records/AlarmReport.h"
#include "core/records/Csv.h"
#include "core/watch/Watch.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    // Named after the command-line text, with what a file name cannot hold escaped; a text
    // too long for a name is cut and told apart by its hash.
    void theJournalIsNamedAfterTheInstance() {
        const auto name = [](const QString& text) {
            return QFileInfo(journalPath(QStringLiteral("/d"), text)).fileName();
        };
        QCOMPARE(name(QStringLiteral("Haus/3\x7F~\t")),
                 QStringLiteral("AlarmeHaus%2F3%7F~%09.txt"));
        QCOMPARE(name(QString(120, 'x')), "Alarme" + QString(120, 'x') + ".txt");
        // The name of a journal already written must not change.
        QCOMPARE(name(QString(121, 'x')), "Alarme" + QString(60, 'x') + "~79072a47bfaa54e6.txt");
    }

    // The server's text on one line: control characters and line separators escaped, the
    // backslash doubled so that an escape reads back as one; cut at 200 with "…".
    void theServersTextStaysOnOneLine() {
        QCOMPARE(journalText(QStringLiteral("1\\2\n3\u20284")),
                 QStringLiteral("1\\\\2\\x0a3\\x20284"));
        QCOMPARE(journalText(QString(200, '7')), QString(200, '7'));
        QCOMPARE(journalText(QString(201, '7')), QString(199, '7') + QChar(0x2026));
    }

    // One line per event, in order, stamped with the clock; an acknowledgement says how long
    // its box stood open.
    void theJournalKeepsTheAlarmsAndTheLink() {
        FakeServices fake;
        MemoryWire wire;
        FakeWindow window;
        Watch watch(wire, fake.services(), window);
        QObject::connect(&wire, &ServerWire::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
        const QString path = journalPath(fake.dataDir.path(), QStringLiteral("Haus/3"));
        AlarmJournal journal(path, fake.services().now);
        journal.follow(watch, wire);
        journal.clientStarted();
        wire.up();
        wire.down();
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            fake.clock = fake.clock.addMSecs(12000);
        };
        wire.answer("\n\r17\n\r");
        QCoreApplication::processEvents(); // the alarm shows from a posted event
        wire.answer("\n\r\n\r");
        for (int tick = 0; tick < 5; ++tick)
            watch.Timer1Timer();
        wire.answer("\n\r");
        journal.clientEnded(true);
        journal.clientEnded(false);
        QCOMPARE(fileLines(path),
                 (QStringList{"2026-12-07 21:30:00  Client gestartet",
                              "2026-12-07 21:30:00  Verbindung zum Server hergestellt",
                              "2026-12-07 21:30:00  Verbindung zum Server verloren",
                              "2026-12-07 21:30:00  Alarm von Nst. 17",
                              "2026-12-07 21:30:12  Alarm von Nst. 17 quittiert nach 12 s",
                              "2026-12-07 21:30:12  Alarm von Nst. 17 vom Server beendet",
                              "2026-12-07 21:30:12  Server meldet sich nicht",
                              "2026-12-07 21:30:24  Server meldet sich wieder",
                              "2026-12-07 21:30:24  Client beendet, ungesendete Änderungen nicht "
                              "gesendet",
                              "2026-12-07 21:30:24  Client beendet"}));

        // The next run: an alarm answered by two boxes, then a crash.
        fake.clock = QDateTime(QDate(2026, 12, 8), QTime(2, 0));
        journal.clientStarted();
        wire.answer("\n\r23\n\r");
        QCoreApplication::processEvents();
        watch.Timer1Timer(); // the answer to its heartbeat repeats the alarm
        wire.answer("\n\r23\n\r");
        QCoreApplication::processEvents();
        fake.clock = QDateTime(QDate(2026, 12, 8), QTime(2, 40));
        journal.clientStarted();

        const RecordRead read = readRecords(path);
        QCOMPARE(read.skipped, 0);
        const report::AlarmReport r = report::buildAlarmReport(read.lines);
        QCOMPARE(r.unknownLines, 0);
        QCOMPARE(r.alarms.size(), 2);
        const QDateTime at0 = wallClock({2026, 12, 7}, {21, 30});
        const QDateTime at2 = wallClock({2026, 12, 8}, {2, 0});
        QCOMPARE(r.alarms[0].nst, QStringLiteral("17"));
        QCOMPARE(r.alarms[0].acknowledgedAfterS, 12);
        QCOMPARE(r.alarms[0].ended, at0.addSecs(12));
        QCOMPARE(r.alarms[1].raised, at2);
        QCOMPARE(r.alarms[1].acknowledgedAfterS, 12); // from the raise, not from the repeat
        QCOMPARE(r.alarms[1].acknowledgements, 2);
        QCOMPARE(r.alarms[1].ended, std::nullopt); // the crash hid its end
        QCOMPARE(r.alarms[1].standing, false);
        using K = report::Period::Kind;
        const auto period = [&](int i) {
            const report::Period& p = r.periods.value(i);
            return std::make_tuple(p.kind, p.from, p.to.value_or(QDateTime()));
        };
        QCOMPARE(r.periods.size(), 4);
        QCOMPARE(period(0), std::make_tuple(K::LinkDown, at0, at0.addSecs(24))); // until the end
        QCOMPARE(period(1), std::make_tuple(K::ServerSilent, at0.addSecs(12), at0.addSecs(24)));
        QCOMPARE(period(2), std::make_tuple(K::ClientNotRunning, at0.addSecs(24), at2));
        QCOMPARE(period(3),
                 std::make_tuple(K::ClientEndedUnseen, at2.addSecs(24), at2.addSecs(40 * 60)));
    }

    // Nine older files at most, read back oldest first; a failure is told once a run.
    void theRecordsKeepNineOlderFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j.txt"));
        AlarmJournal journal(
            path, [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); }, 40);
        for (int i = 0; i < 12; ++i) // 34-byte lines, one to a file
            journal.record(QStringLiteral("Ereignis %1 ").arg(i, 2, 10, QLatin1Char('0')));
        QCOMPARE(recordFiles(path).size(), 10);
        QStringList read;
        for (const QString& file : recordFiles(path))
            read << fileLines(file);
        QCOMPARE(read.first(), QStringLiteral("2026-01-02 03:04:05  Ereignis 02 "));
        QCOMPARE(read.last(), QStringLiteral("2026-01-02 03:04:05  Ereignis 11 "));
        QCOMPARE(read.size(), 10);
        QVERIFY(QFile::remove(path + ".4")); // a gap left by hand stays one
        journal.record(QStringLiteral("Ereignis 12 "));
        QCOMPARE(fileLines(recordFiles(path).value(0)).value(0).mid(21),
                 QStringLiteral("Ereignis 03 "));
        QCOMPARE(recordFiles(path).size(), 9);

        AlarmJournal blocked(path + "/unter einer Datei.txt", QDateTime::currentDateTime, 1);
        QSignalSpy told(&blocked, &AlarmJournal::cannotWrite);
        for (const char* event : {"a", "b"})
            blocked.record(QString::fromLatin1(event));
        QCOMPARE(told.size(), 1);
    }

    // A journal edited by hand, cut short, in another encoding, with lines from the future and
    // out of order: what can be read is reported, the rest counted.
    void theReportReadsWhatItCan() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Alarme.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("2026-12-06 17:59:59  Alarm von Nst. 5\n"
                   "2026-12-06 18:00:00  Alarm von Nst. 17\n"
                   "2026-12-06 18:01:40  Alarm von Nst. 17 quittiert nach 99 s\n"
                   "2026-12-06 23:59:59  Alarm von Nst. 23\n" // in the place of 17
                   "2026-12-07 00:00:30  Alarm von Nst. 23 quittiert nach 30 s\r\n"
                   "2026-12-07 00:01:00  Alarm von Nst. 23 vom Server beendet\n"
                   "nachgetragen: Zimmer 12 war es\n"
                   "2026-13-45 10:00:00  Alarm von Nst. 9\n"
                   "2026-12-1/ 10:00:00  Alarm von Nst. 9\n" // no day, though 10 - 1 is one
                   "2026-12-07 01:00:00  Alarm von Nst. \xC4\n"
                   "2026-12-07 07:59:59  Alarm von Nst. 31\n"
                   "2026-12-07 08:00:00  Ferngespr\xC3\xA4"
                   "ch\n"
                   "2026-12-07 08:00:00  Alarm von Nst. 31 vom Server beendet\n"
                   "2027-05-01 10:00:00  Alarm von Nst. 40\n"
                   "2026-12-07 09:00:00  Alarm von Nst. 40 quittiert nach 1 s\n"
                   "2026-12-07 09:00:0");
        file.close();
        const RecordRead read = readRecords(path);
        QCOMPARE(read.skipped, 5);
        const report::AlarmReport r = report::buildAlarmReport(read.lines);
        QCOMPARE(r.unknownLines, 1);
        QCOMPARE(r.alarms.size(), 5);
        QCOMPARE(r.alarms[1].ended, wallClock({2026, 12, 6}, {23, 59, 59}));
        QCOMPARE(r.alarms[4].acknowledgedAfterS, 0);
        QVERIFY(r.alarms[4].standing);
        QVERIFY(!r.alarms[3].standing);

        const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
        const auto nsts = [&](const report::Filter& f) {
            QStringList out;
            for (const report::AlarmRow& row : report::filtered(r.alarms, f))
                out << row.nst;
            return out;
        };
        const report::Filter night = report::lastNight(now);
        QCOMPARE(nsts(night), (QStringList{"17", "23", "31"}));
        QCOMPARE(report::lastNight(now.addSecs(-3 * 3600)).from,
                 night.from); // at 7 still this night
        QCOMPARE(nsts(report::today(now)), QStringList{"31"});
        QCOMPARE(nsts(report::lastDays(now, 7)), (QStringList{"5", "17", "23", "31"}));
        QCOMPARE(nsts({night.from, night.to, QStringLiteral(" 23")}), QStringList{"23"});
        const report::Summary s = report::summarize(report::filtered(r.alarms, night), 60, now);
        QCOMPARE(s.alarms, 3);
        QCOMPARE(s.unacknowledged, 1);
        QCOMPARE(s.minS, 31);
        QCOMPARE(s.medianS, 65);
        QCOMPARE(s.maxS, 100);
        QCOMPARE(s.overLimit, 2); // 100 s, and 31 never answered
        // One standing unanswered is late once its limit has passed.
        const QDateTime raised(QDate(2027, 5, 1), QTime(10, 0));
        const QList<report::AlarmRow> standing{
            {"9", wallClock(raised.date(), raised.time()), {}, 0, {}, true}};
        QCOMPARE(report::summarize(standing, 60, raised.addSecs(60)).overLimit, 0);
        QCOMPARE(report::summarize(standing, 60, raised.addSecs(61)).overLimit, 1);
        // A period ending as the filter begins, or beginning as it ends, lies outside it.
        using report::Period;
        const QList<Period> periods{{Period::Kind::LinkDown, night.from.addSecs(-60), night.from},
                                    {Period::Kind::LinkDown, night.to, {}},
                                    {Period::Kind::ServerSilent, night.to.addSecs(-1), {}}};
        QCOMPARE(report::filtered(periods, night).size(), 1);
        QCOMPARE(report::filtered(periods, night).value(0).kind, Period::Kind::ServerSilent);
        QList<int> hours(14, 0);
        hours[0] = hours[5] = hours[13] = 1;
        QCOMPARE(report::alarmsPerHour(r.alarms, night), hours);

        QCOMPARE(report::alarmCsv(report::filtered(r.alarms, {night.from, night.to, "17"})),
                 QByteArray("\xEF\xBB\xBFNst.;Ausgel\xC3\xB6st;Quittiert nach (s);Quittierungen;"
                            "Beendet;Dauer (s);Steht noch\r\n"
                            "17;06.12.2026 18:00:00;100;1;06.12.2026 23:59:59;21599;\r\n"));
        QCOMPARE(csv::line({"=1+2", "a;b", "x\"y", "z\r"}),
                 QByteArray("'=1+2;\"a;b\";\"x\"\"y\";\"z\r\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"

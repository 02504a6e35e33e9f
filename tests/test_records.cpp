#include "FakeServices.h"
#include "FakeWindow.h"
#include "Files.h"
#include "MemoryWire.h"
#include "core/records/AlarmJournal.h"
#include "core/records/AlarmReport.h"
#include "core/records/Csv.h"
#include "core/watch/Watch.h"

#include <QFileInfo>

namespace {

// A report in short: each alarm as its CSV line, each period as what, from and until when, and
// how many lines it did not understand.
QStringList described(const report::AlarmReport& r) {
    QStringList out =
        QString::fromUtf8(report::alarmCsv(r.alarms)).split("\r\n").mid(1, r.alarms.size());
    for (const report::Period& p : r.periods)
        out << report::periodText(p.kind) + p.from.toString(" dd. hh:mm:ss") +
                   (p.to ? p.to->toString(" – dd. hh:mm:ss") : QString());
    return out << QString::number(r.unknownLines);
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    // Named after the command-line text, with what a file name cannot hold escaped; a text
    // too long for a name is cut and told apart by its hash.
    void theJournalIsNamedAfterTheInstance() {
        const auto name = [](const QString& text) {
            return QFileInfo(journalPath("/d", text)).fileName();
        };
        QCOMPARE(name("Haus/3\x7F~\t"), "AlarmeHaus%2F3%7F~%09.txt");
        QCOMPARE(name(QString(120, 'x')), "Alarme" + QString(120, 'x') + ".txt");
        // The name of a journal already written must not change.
        QCOMPARE(name(QString(121, 'x')), "Alarme" + QString(60, 'x') + "~79072a47bfaa54e6.txt");
        // Nor is a character cut in two where the name is cut.
        QVERIFY(name(QString(59, 'x') + QString("\U0001F600").repeated(20))
                    .startsWith("Alarme" + QString(59, 'x') + '~'));
    }

    // The server's text on one line: control characters and line separators escaped, the
    // backslash doubled so that an escape reads back as one; cut at 200 with "…".
    void theServersTextStaysOnOneLine() {
        QCOMPARE(journalText("1\\2\n3\u20284"), "1\\\\2\\x0a3\\x20284");
        QCOMPARE(journalText(QString(200, '7')), QString(200, '7'));
        QCOMPARE(journalText(QString(201, '7')), QString(199, '7') + QChar(0x2026));
    }

    // One line per event, in order, stamped with the clock, as the report reads it back; an
    // acknowledgement says how long its box stood open.
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
        QCOMPARE(fileLines(path).value(4),
                 "2026-12-07 21:30:12  Alarm von Nst. 17 quittiert nach 12 s");

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
        // The second alarm acknowledged from its raise, not from its repeat; the crash hid its
        // end, and the link was down until the end.
        QCOMPARE(described(report::buildAlarmReport(readRecords(path).lines)),
                 (QStringList{"17;07.12.2026 21:30:00;12;1;07.12.2026 21:30:12;12;",
                              "23;08.12.2026 02:00:00;12;2;;;",
                              "Keine Verbindung zum Server 07. 21:30:00 – 07. 21:30:24",
                              "Server meldet sich nicht 07. 21:30:12 – 07. 21:30:24",
                              "Client nicht aktiv 07. 21:30:24 – 08. 02:00:00",
                              "Client nicht aktiv (unerwartet beendet) 08. 02:00:24 – 08. 02:40:00",
                              "0"}));
    }

    // Nine older files at most, read back oldest first.
    void theRecordsKeepNineOlderFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j.txt"));
        AlarmJournal journal(
            path, [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); }, 68);
        for (int i = 0; i < 22; ++i) // 34-byte lines, two to a file: exactly its limit
            journal.record(QStringLiteral("Ereignis %1 ").arg(i, 2, 10, QLatin1Char('0')));
        const auto read = [&] { // the files' lines, without the time stamp
            QStringList lines;
            for (const QString& file : recordFiles(path))
                lines << fileLines(file).replaceInStrings("2026-01-02 03:04:05  Ereignis ", "");
            return lines.join("");
        };
        QCOMPARE(read(), "02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 ");
        QVERIFY(QFile::remove(path + ".4")); // a gap left by hand stays one
        journal.record("Ereignis 22 ");
        QCOMPARE(read(), "04 05 06 07 08 09 10 11 14 15 16 17 18 19 20 21 22 ");
    }

    // A journal edited by hand, cut short, in another encoding, with lines from the future and
    // out of order: what can be read is reported, the rest counted.
    void theReportReadsWhatItCan() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Alarme.txt");
        writeFile(path, "2026-12-06 17:59:59  Alarm von Nst. 5\n"
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
                        "2026-12-07 08:00:00  Ferngespräch\n"
                        "2026-12-07 08:00:00  Alarm von Nst. 31 vom Server beendet\n"
                        "2027-05-01 10:00:00  Alarm von Nst. 40\n"
                        "2026-12-07 09:00:00  Alarm von Nst. 40 quittiert nach 1 s\n"
                        "2026-12-07 09:00:0");
        const RecordRead read = readRecords(path);
        QCOMPARE(read.skipped, 5);
        const report::AlarmReport r = report::buildAlarmReport(read.lines);
        QCOMPARE(described(r),
                 (QStringList{"5;06.12.2026 17:59:59;;0;06.12.2026 18:00:00;1;",
                              "17;06.12.2026 18:00:00;100;1;06.12.2026 23:59:59;21599;",
                              "23;06.12.2026 23:59:59;31;1;07.12.2026 00:01:00;61;",
                              "31;07.12.2026 07:59:59;;0;07.12.2026 08:00:00;1;",
                              "40;01.05.2027 10:00:00;0;1;;;ja", "1"}));

        const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
        const auto nsts = [&](const report::Filter& f) {
            QStringList out;
            for (const report::AlarmRow& row : report::filtered(r.alarms, f))
                out << row.nst;
            return out.join(' ');
        };
        const report::Filter night = report::lastNight(now);
        QCOMPARE(report::lastNight(now.addSecs(-3 * 3600)).from, night.from); // at 7 still night
        QCOMPARE((QStringList{nsts(night), nsts(report::today(now)), nsts(report::lastDays(now, 7)),
                              nsts({night.from, night.to, " 23"})}),
                 (QStringList{"17 23 31", "31", "5 17 23 31", "23"}));
        // Late once the limit has passed: one standing unanswered, one answered after it.
        const QDateTime at(QDate(2027, 5, 1), QTime(10, 0));
        const report::AlarmRow standing{"9", wallClock(at.date(), at.time()), {}, 0, {}, true};
        for (const int after : {60, 61}) {
            const report::AlarmRow late{"8", standing.raised, after, 1, {}, false};
            QCOMPARE(report::summarize({standing, late}, 60, at.addSecs(after)).overLimit,
                     2 * (after - 60));
        }
        QList<report::AlarmRow> answered; // in the journal's order, not by their times
        for (const int after : {95, 12, 30})
            answered << report::AlarmRow{"8", standing.raised, after, 1, {}, false};
        const report::AckTimes times = report::summarize(answered, 60, at).acknowledged.value();
        QCOMPARE((QList<qint64>{times.min, times.median, times.max}), (QList<qint64>{12, 30, 95}));
        // A period ending as the filter begins, or beginning as it ends, lies outside it.
        using report::Period;
        const QList<Period> periods{{Period::Kind::LinkDown, night.from.addSecs(-60), night.from},
                                    {Period::Kind::LinkDown, night.to, {}},
                                    {Period::Kind::ServerSilent, night.to.addSecs(-1), {}}};
        QCOMPARE(described({{}, report::filtered(periods, night)}),
                 (QStringList{"Server meldet sich nicht 07. 07:59:59", "0"}));
        QCOMPARE(report::alarmsPerHour(r.alarms, night),
                 (QList<int>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
        const report::AlarmRow atSeven{"9", night.from.addSecs(13 * 3600), {}, 0, {}, false};
        QCOMPARE(report::alarmsPerHour({atSeven}, night).indexOf(1), 13); // its hour's first second

        QCOMPARE(report::alarmCsv({}),
                 QByteArray("\xEF\xBB\xBFNst.;Ausgel\xC3\xB6st;Quittiert nach (s);"
                            "Quittierungen;Beendet;Dauer (s);Steht noch\r\n"));
        QCOMPARE(csv::line({"=1+2", "a;b", "x\"y", "z\r"}),
                 QByteArray("'=1+2;\"a;b\";\"x\"\"y\";\"z\r\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"

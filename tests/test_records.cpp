#include "FakeServices.h"
#include "MemoryWire.h"
#include "core/records/AlarmJournal.h"
#include "core/watch/Watch.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

namespace {

struct NoWindow final : WatchWindow {
    void alertBegin() override {}
    void alertEnd() override {}
};

QStringList lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

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
        QVERIFY(name(QString(121, 'x')).startsWith("Alarme" + QString(60, 'x') + '~'));
    }

    // One line per event, in order, stamped with the clock; an acknowledgement says how long
    // its box stood open.
    void theJournalKeepsTheAlarmsAndTheLink() {
        FakeServices fake;
        MemoryWire wire;
        NoWindow window;
        Watch watch(wire, fake.services(), window);
        QObject::connect(&wire, &ServerWire::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
        const QString path = journalPath(fake.dataDir.path(), QStringLiteral("Haus/3"));
        AlarmJournal journal(path, fake.services().now);
        journal.follow(watch, wire);
        journal.clientStarted();
        wire.up();
        wire.down();
        fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            fake.clock = fake.clock.addMSecs(12999);
        };
        wire.answer("\n\r17\n\r");
        QCoreApplication::processEvents(); // the alarm shows from a posted event
        wire.answer("\n\r\n\r");
        for (int tick = 0; tick < 5; ++tick)
            watch.Timer1Timer();
        journal.clientEnded(true);
        journal.clientEnded(false);
        QCOMPARE(lines(path),
                 (QStringList{"2026-12-07 21:30:00  Client gestartet",
                              "2026-12-07 21:30:00  Verbindung zum Server hergestellt",
                              "2026-12-07 21:30:00  Verbindung zum Server verloren",
                              "2026-12-07 21:30:00  Alarm von Nst. 17",
                              "2026-12-07 21:30:12  Alarm von Nst. 17 quittiert nach 12 s",
                              "2026-12-07 21:30:12  Alarm von Nst. 17 vom Server beendet",
                              "2026-12-07 21:30:12  Server meldet sich nicht",
                              "2026-12-07 21:30:25  Client beendet, ungesendete Änderungen nicht "
                              "gesendet",
                              "2026-12-07 21:30:25  Client beendet"}));
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
            read << lines(file);
        QCOMPARE(read.first(), QStringLiteral("2026-01-02 03:04:05  Ereignis 02 "));
        QCOMPARE(read.last(), QStringLiteral("2026-01-02 03:04:05  Ereignis 11 "));
        QCOMPARE(read.size(), 10);
        QVERIFY(QFile::remove(path + ".4")); // a gap left by hand stays one
        journal.record(QStringLiteral("Ereignis 12 "));
        QCOMPARE(lines(recordFiles(path).value(0)).value(0).mid(21),
                 QStringLiteral("Ereignis 03 "));
        QCOMPARE(recordFiles(path).size(), 9);

        AlarmJournal blocked(path + "/unter einer Datei.txt", QDateTime::currentDateTime, 1);
        QSignalSpy told(&blocked, &AlarmJournal::cannotWrite);
        for (const char* event : {"a", "b"})
            blocked.record(QString::fromLatin1(event));
        QCOMPARE(told.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"

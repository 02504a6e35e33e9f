#include "FakeServices.h"
#include "FakeWindow.h"
#include "Files.h"
#include "MemoryWire.h"
#include "TableFixtures.h"
#include "core/Client.h"
#include "core/records/ChangeLog.h"
#include "core/table/NumberTable.h"

#include <QDir>

using namespace fixtures;

namespace {

// The rows read back, their parts apart by '|', and how many lines were skipped.
QStringList rows(RecordRead read) {
    QStringList out;
    for (const ChangeRow& r : changeRows(read))
        out << QString("%1|%2|%3|%4|%5|%6")
                   .arg(r.at.toString("hh:mm:ss"), r.login, r.line, r.field, r.old, r.now);
    return out << QString::number(read.skipped);
}

// A table over a link in memory, its saves logged.
struct Logged {
    FakeServices fake;
    MemoryWire link;
    NumberTable table{link, fake.prompts};
    ChangeLog log{changeLogPath(fake.dataDir.path(), {}), "bediener",
                  [this] { return fake.clock; }};

    explicit Logged(const QList<QByteArray>& lines) {
        fake.clock = QDateTime(QDate(2026, 12, 7), QTime(8, 5, 9));
        link.up();
        log.follow(table);
        table.tableArrived(tableFrame(lines));
    }
    // The lines written, each stamped with the clock and the login, these taken off.
    QStringList written() const {
        return fileLines(log.filePath()).replaceInStrings("2026-12-07 08:05:09  bediener  ", "");
    }
};

} // namespace

class TestChangeLog : public QObject {
    Q_OBJECT
private slots:
    // Each cell against what the server held at the place it was sent to, the clearing when
    // it went out.
    void aSaveIsLoggedAsTheServerStoresIt() {
        Logged t({tableLine("101", "", "", "0.00", "T\xFCr\x81"),
                  tableLine("102", "7", "", "12.50", "Gast")});
        t.table.NummernGridSetEditText(0, table::Remark, "T\xFCr");
        t.table.NummernGridSetEditText(1, table::Number, "112");
        t.table.NummernGridSetEditText(1, table::Remark, "");
        QVERIFY(t.table.SaveTable());
        const QStringList written{
            "Verb. 2  Gebühren gelöscht: Nst. 102 (12.50)", "Verb. 1  Bemerk.: Tür\\x81 → Tür",
            "Verb. 2  Ruf/Zi.-Nummer: 102 → 112", "Verb. 2  Bemerk.: Gast → (leer)"};
        QCOMPARE(t.written(), written);
    }

    // Sorted rows go to the server's places in their new order and replace what was there.
    void aSortedSaveIsLoggedByPlace() {
        Logged t({tableLine("102"), tableLine("101")});
        t.table.sortBy(table::Number);
        t.table.NummernGridSetEditText(0, table::Remark, "neu");
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.written(), (QStringList{"Verb. 1  Ruf/Zi.-Nummer: 102 → 101",
                                           "Verb. 1  Bemerk.: (leer) → neu",
                                           "Verb. 2  Ruf/Zi.-Nummer: 101 → 102"}));
    }

    // In the instance's file, under the operator's login, which cannot break the line; a file
    // that cannot be written is told once, after the save's questions.
    void theClientLogsItsSaves() {
        FakeServices fake;
        Services services = fake.services();
        services.login = " Max  Muster\n ";
        MemoryWire* link = new MemoryWire;
        FakeWindow window;
        Client client(link, "Haus 2", services, window);
        const QString path = changeLogPath(fake.dataDir.path(), "Haus 2");
        QVERIFY(QDir().mkpath(path));
        client.start();
        link->up();
        link->table({tableLine("102", "", "", "0.00")});
        client.table().NummernGridSetEditText(0, table::Number, "112");
        client.table().NummernGridSetEditText(0, table::Alarm, "7");
        client.Button1Click();
        QCOMPARE(fake.prompts.texts(), QStringList{"Änderung Speichern ?"});
        QCoreApplication::processEvents();
        QCOMPARE(fake.prompts.texts().size(), 2);
        QVERIFY(fake.prompts.texts()[1].startsWith(
            "Das Änderungsprotokoll kann nicht geschrieben werden:\n"));

        QVERIFY(QDir(path).removeRecursively());
        client.table().NummernGridSetEditText(0, table::Number, "113");
        client.Button1Click();
        QCOMPARE(rows(readRecords(path)).join(' '),
                 "21:30:00|\\x20Max\\x20\\x20Muster\\x0a\\x20|Verb. 1|Ruf/Zi.-Nummer|112|113 0");
    }

    // A line of another form or cut short is counted, not guessed at; a login name of one
    // letter is still a login name, and cleared charges have no new value.
    void linesOfAnotherFormAreSkippedAndCounted() {
        RecordRead read;
        for (const char* line :
             {"b  Verb. 12  Not Nummer.: (leer) → 1  2", "Client gestartet",
              "  Verb. 1  Bemerk.: a → b", "bediener  Verb. 0  Bemerk.: a → b",
              "bediener  Verb. 1  Bemerk. a → b", "bediener  Verb. 1  Bemerk.: a",
              "bediener  Verb. 1", "c  Verb. 2  Gebühren gelöscht: Nst. 1 (2)"})
            read.lines.append(parseRecordLine("2026-12-07 21:30:00  " + QString::fromUtf8(line)));
        read.skipped = 1;
        QCOMPARE(rows(read),
                 (QStringList{"21:30:00|b|Verb. 12|Not Nummer.|(leer)|1  2",
                              "21:30:00|c|Verb. 2|Gebühren gelöscht|Nst. 1 (2)|", "7"}));
    }

    void theCsvQuotesWhatWouldSplitAField() {
        const QDateTime at(QDate(2026, 12, 7), QTime(8, 5, 9));
        QCOMPARE(changeCsv({{at, "bediener", "Verb. 3", "Bemerk.", "a;b", "sagt \"hi\""},
                            {at, "x", "Verb. 4", "Gebühren gelöscht", "1\n2", ""}}),
                 "\xEF\xBB\xBF"
                 "Datum;Uhrzeit;Bediener;Verb.;Feld;alt;neu\r\n"
                 "07.12.2026;08:05:09;bediener;Verb. 3;Bemerk.;\"a;b\";\"sagt \"\"hi\"\"\"\r\n"
                 "07.12.2026;08:05:09;x;Verb. 4;Geb\xC3\xBChren gel\xC3\xB6scht;\"1\n2\";\r\n");
    }
};

QTEST_GUILESS_MAIN(TestChangeLog)
#include "test_changelog.moc"

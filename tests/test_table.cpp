#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/ServerLink.h"
#include "table/NumberTable.h"
#include "table/TableRecord.h"
#include "table/TableSort.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace fixtures;

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");

// The table over a live link to a peer of the test; the link asks for no tables by itself,
// so only what the test causes goes over the wire.
struct Table {
    FakeServices fake;
    LoopbackPeer peer;
    ServerLink link{3600 * 1000};
    NumberTable table{link, fake.prompts};
    // Every load, edit and sort goes past the model tester.
    QAbstractItemModelTester tester{&table.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};

    bool attach() {
        link.setHostAndPort(QStringLiteral("127.0.0.1"), peer.port());
        link.OpenConnection();
        return peer.waitForClient() && QTest::qWaitFor([this] { return link.isConnected(); });
    }
    void load(const QList<QByteArray>& lines) { table.LoadTable(tableFrame(lines)); }
    // As the grid's editor does it: the text goes into the cell, the table hears of the edit.
    void edit(int row, table::Field field, const QString& text) {
        table.cellEdited();
        QVERIFY(table.model().setData(table.model().index(row, field), text, Qt::EditRole));
    }
    QByteArray cell(int row, table::Field field) const { return table.model().cell(row, field); }
    QList<QByteArray> numbers() const {
        QList<QByteArray> out;
        for (int r = 0; r < table.model().rowCount(); ++r)
            out.append(table::trimmed(cell(r, table::Number)));
        return out;
    }
    QStringList asked() const {
        QStringList t;
        for (const auto& box : fake.prompts.shown)
            t.append(box.text);
        return t;
    }
    // Frames sent since the last call; a heartbeat sent last marks the end.
    QList<QByteArray> sent() {
        link.Send(frames::heartbeat());
        return peer.framesBefore(frames::heartbeat());
    }
};

} // namespace

class TestTable : public QObject {
    Q_OBJECT
private slots:
    void loadKeepsAtMost120LinesAsSent() {
        Table t;
        // Before the first table: one empty row and no titles.
        const NummernModel& model = t.table.model();
        QVERIFY(model.designState());
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
        QByteArray bytes; // every byte but the line end
        for (int b = 0; b < 256; ++b)
            if (b != '\n')
                bytes.append(char(b));
        QList<QByteArray> lines{bytes, "", tableLine("", "0815", "", "12.50")};
        lines += QList<QByteArray>(122, "4712");
        lines[4] = "7";
        lines[119] = tableLine("  4711", "", "", " 12.50", "  K\374che  " + QByteArray(99, 'x'));
        t.load(lines);
        QVERIFY(!t.table.isModified());
        QVERIFY(!model.designState());
        QStringList titles;
        for (int c = 0; c < table::FieldCount; ++c)
            titles << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(titles, (QStringList{"Ruf/Zi.-Nummer", "Alarm Nummer.", "Not Nummer.", "Gebühr.",
                                      "Bemerk."}));
        QCOMPARE(model.headerData(119, Qt::Vertical, Qt::DisplayRole), QVariant("Verb. 120"));
        QCOMPARE(model.headerData(table::FieldCount, Qt::Horizontal, Qt::DisplayRole),
                 QVariant(""));
        // A flat table: nothing below a cell, nothing at the root, and the charges are the
        // server's alone.
        QCOMPARE(model.columnCount(model.index(0, 0)), 0);
        QCOMPARE(model.data(QModelIndex(), Qt::DisplayRole), QVariant());
        QVERIFY(!t.table.model().setData(model.index(2, table::Charges), "9.99", Qt::EditRole));
        QVERIFY(!t.table.model().setData(model.index(2, table::Remark), "x", Qt::DisplayRole));
        QCOMPARE(t.cell(2, table::Charges), QByteArray("12.50 "));
        QCOMPARE(t.cell(2, table::Remark), QByteArray());
        QCOMPARE(t.table.lines().size(), 120);
        QCOMPARE(t.table.lines()[0], bytes);
        QCOMPARE(t.table.lines()[1], QByteArray("  "));
        QCOMPARE(t.table.lines().mid(4, 2), (QList<QByteArray>{"7", "4712"}));
        QCOMPARE(t.cell(3, table::Alarm), QByteArray());
        // Cells hold the field as cut, every blank kept; the number is remembered trimmed.
        QCOMPARE(t.cell(119, table::Number), QByteArray("  4711" + QByteArray(14, ' ')));
        QCOMPARE(t.cell(119, table::Remark), "  K\374che  " + QByteArray(31, 'x'));
        QCOMPARE(t.table.model().index(119, table::Remark).data().toString(),
                 "  Küche  " + QString(31, 'x'));
        QCOMPARE(t.table.rowNst()[119], QByteArray("4711"));

        // A body without line ends still ends; an empty table empties the grid.
        QCOMPARE(table::parseTableFrame("[___D_IN]4711{_ENDE__}"), QList<QByteArray>(120, "  "));
        t.load({});
        QCOMPARE(t.table.model().rowCount(), 0);
    }

    void sortingByNumberOrRemarkRefillsFromTheLines() {
        Table t;
        // Remarks: only ASCII letters fold, '_' sorts after them, 'ä' (0xE4) after everything.
        t.load({tableLine("20", "1", "", "", "_"), tableLine("", "2", "", "", "\xE4"),
                tableLine("100", "3", "", "", "b"), tableLine("abc", "4", "", "", "Z")});
        t.edit(0, table::Alarm, QStringLiteral("999"));
        for (table::Field f : {table::Alarm, table::Emergency, table::Charges})
            t.table.sortBy(f);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "", "100", "abc"}));
        QVERIFY(t.table.isModified());

        t.table.sortBy(table::Number);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"100", "20", "abc", ""}));
        QCOMPARE(t.table.rowNst()[0], QByteArray("100"));
        // The refill shows the lines as received: the edit is gone.
        QVERIFY(!t.table.isModified());
        QCOMPARE(table::trimmed(t.cell(1, table::Alarm)), QByteArray("1"));

        t.table.sortBy(table::Remark);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"100", "abc", "20", ""}));
        // 'ä' folded to 'Ä' would jump before 'Ü'; 'z' folds to 'Z', before '_'.
        QVERIFY(table::compareKeys("\xDC", "\xE4") < 0);
        QVERIFY(table::compareKeys("z", "_") < 0);
        QVERIFY(table::compareKeys("Z", "z") == 0);
    }

    void onlyAnEditedTableIsSentWithEveryRowAsItStands() {
        Table t;
        QVERIFY(t.attach());
        const QByteArray twenty = "12345678901234567890";
        t.load({tableLine("4711", "0815", "112", "  0.00", "Geb\xFChr"),
                tableLine("4712", "", "", " 12.50", "Zimmer 2"), tableLine(twenty, "1", "2", "")});
        QVERIFY(t.table.SaveTable()); // unedited: nothing asked, nothing sent
        QCOMPARE(t.sent(), QList<QByteArray>{});
        t.edit(1, table::Remark, QStringLiteral("Küche, Gebühr €"));
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.asked(), QStringList{kSaveQuestion});
        QCOMPARE(t.fake.prompts.shown[0].caption, QStringLiteral(" A C H T U N G "));
        QCOMPARE(t.fake.prompts.shown[0].flags, 0x121u); // OK/Cancel, question, Cancel default
        QCOMPARE(t.sent(),
                 QList<QByteArray>{sdat({record("4711", "0815", "112", "Geb\xFChr"),
                                         record("4712", "", "", "K\374che, Geb\374hr \200"),
                                         twenty + record("", "1", "2").mid(20)})});
    }

    void onlyChangedNumbersWithChargesAskToClearThem() {
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine("4711", "", "", "12.50"), tableLine("4800", "", "", "0,00"),
                tableLine("4900", "", "", " 0.00 "), tableLine("5000", "", "", "3.00")});
        t.edit(0, table::Number, QStringLiteral("4712"));
        t.edit(1, table::Number, QStringLiteral("1234567890123456789"));
        t.edit(2, table::Number, QStringLiteral("4901"));
        t.edit(3, table::Number, QStringLiteral(" 5001"));
        t.fake.prompts.answers = {mb::IdCancel, mb::IdOk, mb::IdOk, mb::IdCancel};
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.asked(), QStringList{kSaveQuestion});
        QCOMPARE(t.sent(), QList<QByteArray>{});
        t.fake.prompts.shown.clear();
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.asked(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                                         "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(t.fake.prompts.shown[1].flags, 0x121u);
        const QByteArray saved = sdat({record("4712"), "1234567890123456789 " + record("").mid(20),
                                       record("4901"), record(" 5001")});
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("4711"), saved}));
        QCOMPARE(t.table.rowNst()[0], QByteArray("4712"));

        // The declined row is asked about again; the cleared one is settled.
        t.fake.prompts.shown.clear();
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.asked(), (QStringList{kSaveQuestion, "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("5000"), saved}));
    }

    void duplicateNumbersRefuseTheSave_data() {
        QTest::addColumn<QString>("twin");
        QTest::newRow("exclamation") << QStringLiteral("!4711");
        QTest::newRow("with name") << QStringLiteral("4711 Empfang");
    }
    void numbersAreMatchedAsTheServerMatchesThem() {
        using table::NstKey;
        QCOMPARE(NstKey(" !4711 Empfang "), QByteArray("4711"));
        QCOMPARE(NstKey("4711\t "), QByteArray("4711"));
        // A blank right after the "!" leaves no number at all, so such rows are never twins.
        QCOMPARE(NstKey("! 4711"), QByteArray());
        QCOMPARE(table::FindDuplicateNst({{"! 12"}, {"! 12"}, {"12"}}), QByteArray());
        QCOMPARE(table::FindDuplicateNst({{"7"}, {"12"}, {"!12 x"}}), QByteArray("12"));
    }
    void duplicateNumbersRefuseTheSave() {
        QFETCH(QString, twin);
        Table t;
        QVERIFY(t.attach());
        // Empty numbers are never twins of each other.
        t.load(
            {tableLine(""), tableLine(""), tableLine("4711"), tableLine("4800", "", "", "12.50")});
        t.edit(3, table::Number, twin);
        QVERIFY(!t.table.SaveTable());
        QCOMPARE(t.asked(), QStringList{"Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! "});
        QCOMPARE(t.fake.prompts.shown[0].flags, 0x20u); // OK only
        QCOMPARE(t.sent(), QList<QByteArray>{});
    }

    void tablesSortsAndSavesArrivingDuringASaveWait() {
        Table t;
        QVERIFY(t.attach());
        const QList<QByteArray> lines{tableLine("4711", "", "", "12.50", "alt"),
                                      tableLine("20", "", "", "0.00")};
        t.load(lines);
        t.edit(0, table::Number, QStringLiteral("4712"));
        bool nested = false;
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            t.load({tableLine("100"), tableLine("200")});
            t.table.sortBy(table::Remark);
            t.edit(1, table::Remark, QStringLiteral("später")); // goes with the next save
            nested = t.table.SaveTable();
            t.load({tableLine("300", "", "", "", "neueste")});
            QVERIFY(t.table.saveRunning());
        };
        QVERIFY(t.table.SaveTable());
        QVERIFY(nested);
        QVERIFY(!t.table.saveRunning());
        // The save inside the save asked nothing and sent nothing.
        QCOMPARE(t.asked(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? "}));
        QCOMPARE(t.sent(), (QList<QByteArray>{
                               gloe("4711"), sdat({record("4712", "", "", "alt"), record("20")})}));
        // The server has our rows now, so the tables it sent before are dropped; the edit made
        // during the questions is still to be decided about.
        QCOMPARE(t.table.lines(), lines);
        QCOMPARE(t.cell(1, table::Remark), QByteArray("sp\xE4ter"));
        QVERIFY(t.table.hasUndecidedEdits());
    }

    // A save that cannot go out says so and keeps the edits; a table that comes meanwhile
    // waits for them, and the next save sends them.
    void aSaveWithoutTheLinkIsRefusedAndTheEditsStay() {
        Table t;
        const QList<QByteArray> lines{tableLine("4711", "", "", "0.00", "alt")};
        t.load(lines);
        t.edit(0, table::Remark, QStringLiteral("neu"));
        QVERIFY(!t.table.SaveTable());
        QCOMPARE(t.asked(),
                 QStringList{"Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht "
                             "gespeichert."});
        QCOMPARE(t.fake.prompts.shown[0].flags, mb::Ok | mb::IconExclamation);
        QVERIFY(t.table.hasUndecidedEdits());

        QVERIFY(t.attach());
        t.load({tableLine("1")});
        QCOMPARE(t.table.lines(), lines);
        QCOMPARE(t.cell(0, table::Remark), QByteArray("neu"));
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.sent(), QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
        // Sent: what comes now is the server's table again.
        QVERIFY(!t.table.hasUndecidedEdits());
        t.load({tableLine("2")});
        QCOMPARE(t.table.lines(), QList<QByteArray>{tableLine("2")});
    }

    void aLinkLostBetweenClearingAndSavingRefusesTheSave() {
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine("4711", "", "", "1.00"), tableLine("4800", "", "", "2.00")});
        t.edit(0, table::Number, QStringLiteral("4712"));
        t.edit(1, table::Number, QStringLiteral("4801"));
        t.fake.prompts.answers = {mb::IdOk, mb::IdOk, mb::IdCancel};
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (!box.text.startsWith(QStringLiteral("Nst. 4800")))
                return;
            t.peer.socket->disconnectFromHost();
            QTRY_VERIFY(!t.link.isConnected());
        };
        QVERIFY(!t.table.SaveTable());
        QCOMPARE(t.asked().last(),
                 QStringLiteral("Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht "
                                "gespeichert."));
        QTRY_COMPARE(t.peer.frames, QList<QByteArray>{gloe("4711")});
        // The cleared number is settled, the rest waits for the next save.
        QCOMPARE(t.table.rowNst()[0], QByteArray("4712"));
        QCOMPARE(t.table.rowNst()[1], QByteArray("4800"));
        QVERIFY(t.table.hasUndecidedEdits());
    }

    void aDeclinedSaveLetsTheHeldTableInAndSortingAsksFirst() {
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine("20"), tableLine("10")});
        t.edit(0, table::Remark, QStringLiteral("neu"));
        // Sorting over the edit asks; Cancel keeps everything as it is.
        t.fake.prompts.answers = {mb::IdCancel};
        t.table.sortBy(table::Number);
        QCOMPARE(t.asked(), QStringList{"Ungespeicherte Änderungen verwerfen ?"});
        QCOMPARE(t.fake.prompts.shown[0].flags, 0x121u);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "10"}));

        const QList<QByteArray> newer{tableLine("30"), tableLine("5")};
        t.load(newer);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "10"}));
        t.fake.prompts.answers = {mb::IdCancel};
        QVERIFY(t.table.SaveTable());
        QCOMPARE(t.table.lines(), newer);
        QCOMPARE(t.sent(), QList<QByteArray>{});

        // Agreeing drops the edits, and a table held back for them is the one sorted.
        t.edit(0, table::Remark, QStringLiteral("neu"));
        t.load({tableLine("9"), tableLine("8")});
        t.table.sortBy(table::Number);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"8", "9"}));
        QVERIFY(!t.table.isModified());
        // Declined edits are the operator's decision: a sort or a table replaces them at once.
        t.edit(0, table::Remark, QStringLiteral("neu"));
        t.fake.prompts.answers = {mb::IdCancel};
        QVERIFY(t.table.SaveTable());
        const auto asked = t.fake.prompts.shown.size();
        t.table.sortBy(table::Remark);
        QCOMPARE(t.fake.prompts.shown.size(), asked);
        t.load({tableLine("1")});
        QCOMPARE(t.numbers(), QList<QByteArray>{"1"});
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"

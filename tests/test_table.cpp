#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/ServerLink.h"
#include "table/NumberTable.h"
#include "table/SavePlan.h"
#include "table/TableRecord.h"
#include "table/TableSort.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace fixtures;
using namespace table;

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");
const QString kNoLink =
    QStringLiteral("Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht gespeichert.");

// The table over a live link that asks for no tables by itself.
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
    void edit(int row, Field field, const QString& text) {
        table.cellEdited();
        QVERIFY(table.model().setData(table.model().index(row, field), text, Qt::EditRole));
    }
    QList<QByteArray> numbers() const {
        QList<QByteArray> out;
        for (const Cells& row : table.model().rows())
            out.append(trimmed(row[Number]));
        return out;
    }
    // A save with these answers: the boxes it showed, and "refused" last when it was.
    QStringList save(const QList<int>& answers = {}) {
        fake.prompts.shown.clear();
        fake.prompts.answers = answers;
        const bool saved = table.SaveTable();
        return fake.prompts.texts() + (saved ? QStringList() : QStringList{"refused"});
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
    // Lines as sent, an empty one as two blanks; cells as cut; the number remembered trimmed.
    void loadKeepsAtMost120LinesAsSent() {
        Table t;
        NummernModel& model = t.table.model();
        QVERIFY(model.designState() && model.rowCount() == 1); // one empty row, no titles
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
        QByteArray bytes; // every byte but the line end
        for (int b = 0; b < 256; ++b)
            if (b != '\n')
                bytes.append(char(b));
        QList<QByteArray> lines = QList<QByteArray>{bytes, ""} + QList<QByteArray>(123, "4712");
        lines[119] = tableLine("  4711", "", "", " 12.50", "  K\374che  " + QByteArray(99, 'x'));
        t.load(lines);
        QVERIFY(!t.table.isModified() && !model.designState());
        QList<QByteArray> kept = lines.first(120);
        kept[1] = "  ";
        QCOMPARE(t.table.lines(), kept);
        QCOMPARE(model.headerData(119, Qt::Vertical, Qt::DisplayRole), QVariant("Verb. 120"));
        // The charges are the server's alone.
        QVERIFY(!model.setData(model.index(119, Charges), "9.99", Qt::EditRole));
        QVERIFY(!model.setData(model.index(119, Remark), "x", Qt::DisplayRole));
        QCOMPARE(model.rows()[119], (Cells{pad("  4711", 20), pad("", 20), pad("", 20), " 12.50",
                                           "  K\374che  " + QByteArray(31, 'x')}));
        QCOMPARE(model.index(119, Remark).data().toString(), "  Küche  " + QString(31, 'x'));
        QCOMPARE(t.table.rowNst()[119], QByteArray("4711"));
        QCOMPARE(model.index(119, Number).data(Qt::AccessibleTextRole), QVariant("4711"));
        // A body without line ends still ends; an empty table empties the grid.
        QCOMPARE(parseTableFrame("[___D_IN]4711{_ENDE__}"), QList<QByteArray>(120, "  "));
        t.load({});
        QCOMPARE(model.rowCount(), 0);
    }

    // Bytewise with only a-z folded, empty keys last; the refill drops the edits.
    void sortingByNumberOrRemarkRefillsFromTheLines() {
        Table t;
        t.load({tableLine("20", "1", "", "", "_"), tableLine("", "2", "", "", "\xE4"),
                tableLine("100", "3", "", "", "a"), tableLine("abc", "4", "", "", "z"),
                tableLine("7", "5", "", "", "\xDC")});
        t.edit(0, Alarm, QStringLiteral("999"));
        for (Field f : {Alarm, Emergency, Charges})
            t.table.sortBy(f);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "", "100", "abc", "7"}));
        QVERIFY(t.table.isModified());
        t.table.sortBy(Number);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"100", "20", "7", "abc", ""}));
        QCOMPARE(t.table.rowNst()[0], QByteArray("100"));
        QVERIFY(!t.table.isModified());
        QCOMPARE(trimmed(t.table.model().cell(1, Alarm)), QByteArray("1"));
        t.table.sortBy(Remark);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"100", "abc", "20", "7", ""}));
    }

    // A changed number with charges asks to clear them until the operator says yes.
    void savesSendEveryRowAndAskToClearTheChargesOfChangedNumbers() {
        Table t;
        QVERIFY(t.attach());
        const QByteArray twenty = "12345678901234567890";
        t.load({tableLine("4711", "", "", "12.50"), tableLine("4800", "", "", "0,00"),
                tableLine("4900", "", "", " 0.00 "), tableLine("5000", "", "", "3.00"),
                tableLine(twenty, "1", "2", "", "Geb\xFChr")});
        QCOMPARE(t.save(), QStringList{}); // nothing edited: nothing asked, nothing sent
        t.edit(0, Number, QStringLiteral("4712"));
        t.edit(1, Number, QStringLiteral("1234567890123456789"));
        t.edit(2, Number, QStringLiteral("4901"));
        t.edit(3, Number, QStringLiteral(" 5001"));
        t.edit(4, Remark, QStringLiteral("Küche, Gebühr €"));
        QCOMPARE(t.save({mb::IdCancel}), QStringList{kSaveQuestion});
        const ScriptedPrompts::Box box = t.fake.prompts.shown[0];
        QCOMPARE(box.caption, QStringLiteral(" A C H T U N G "));
        QCOMPARE(box.flags, mb::OkCancel | mb::IconQuestion | mb::DefButton2);
        QCOMPARE(box.details, QStringLiteral("Verb. 1: Ruf/Zi.-Nummer 4711 → 4712\n"
                                             "Verb. 2: Ruf/Zi.-Nummer 4800 → 1234567890123456789\n"
                                             "Verb. 3: Ruf/Zi.-Nummer 4900 → 4901\n"
                                             "Verb. 4: Ruf/Zi.-Nummer 5000 → 5001\n"
                                             "Verb. 5: Bemerk. Gebühr → Küche, Gebühr €"));
        QCOMPARE(t.sent(), QList<QByteArray>{});
        QCOMPARE(t.save({mb::IdOk, mb::IdOk, mb::IdCancel}),
                 (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                              "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(t.fake.prompts.shown[1].flags, box.flags);
        const QByteArray saved = sdat(
            {record("4712"), "1234567890123456789 " + record("").mid(20), record("4901"),
             record(" 5001"), twenty + record("", "1", "2", "K\374che, Geb\374hr \200").mid(20)});
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("4711"), saved}));
        QCOMPARE(t.table.rowNst()[0], QByteArray("4712"));
        QCOMPARE(t.save(), (QStringList{kSaveQuestion, "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("5000"), saved}));
    }

    // Each changed field once, blanks no change; a whole table is cut after 30 rows.
    void thePreviewNamesEachVisibleChange_data() {
        QTest::addColumn<QList<QByteArray>>("loaded");
        QTest::addColumn<QList<QByteArray>>("edited");
        QTest::addColumn<QString>("preview");
        QTest::newRow("emptied and filled")
            << QList<QByteArray>{tableLine("1"), tableLine("2", "", "110", "", "K\xFC")}
            << QList<QByteArray>{tableLine("1"), tableLine("2", "0815", "", "", "K\374che")}
            << "Verb. 2: Alarm Nummer. (leer) → 0815; Not Nummer. 110 → (leer); Bemerk. Kü → Küche";
        QTest::newRow("blanks only")
            << QList<QByteArray>{tableLine("1"), tableLine("2", "", "", "", "x")}
            << QList<QByteArray>{tableLine("  1"), tableLine("2", "", "", "9.00") + "  x  "}
            << QString();
        QList<QByteArray> loaded, edited;
        QStringList preview;
        for (int i = 0; i < 120; ++i) {
            loaded << tableLine(QByteArray::number(i));
            edited << tableLine(QByteArray::number(i + 1000));
            if (i < 30)
                preview << QStringLiteral("Verb. %1: Ruf/Zi.-Nummer %2 → %3")
                               .arg(i + 1)
                               .arg(i)
                               .arg(i + 1000);
        }
        QTest::newRow("a whole table")
            << loaded << edited
            << (preview << QStringLiteral("… und 90 weitere Zeilen")).join(u'\n');
    }
    void thePreviewNamesEachVisibleChange() {
        QFETCH(QList<QByteArray>, loaded);
        QFETCH(QList<QByteArray>, edited);
        NummernModel model;
        model.fill(edited);
        QTEST(changePreview(model.rows(), loaded), "preview");
    }

    // Matched as the server does: trimmed, no leading "!", to the first blank; empty never twins.
    void aSaveIsRefusedWhileANumberOccursTwice_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("twin");
        QTest::newRow("exclamation") << QStringLiteral("!4711") << true;
        QTest::newRow("with name") << QStringLiteral(" !4711 Empfang ") << true;
        QTest::newRow("control characters") << QStringLiteral("4711\t ") << true;
        QTest::newRow("blank after the exclamation") << QStringLiteral("! 4711") << false;
    }
    void aSaveIsRefusedWhileANumberOccursTwice() {
        QFETCH(QString, number);
        QFETCH(bool, twin);
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine(""), tableLine(""), tableLine("! 12"), tableLine("4711"),
                tableLine("4800")});
        t.edit(4, Number, number);
        const QString twinned = QStringLiteral("Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! ");
        const QStringList boxes = t.save();
        QCOMPARE(boxes.value(0), twin ? twinned : kSaveQuestion);
        QCOMPARE(boxes.last() == "refused", twin);
        QCOMPARE(t.fake.prompts.shown[0].flags, twin ? mb::Ok | mb::IconQuestion : 0x121u);
        QCOMPARE(t.sent().isEmpty(), twin);
    }

    void tablesSortsAndSavesArrivingDuringASaveWait() {
        Table t;
        QVERIFY(t.attach());
        const QList<QByteArray> lines{tableLine("4711", "", "", "12.50", "alt"),
                                      tableLine("20", "", "", "0.00")};
        t.load(lines);
        t.edit(0, Number, QStringLiteral("4712"));
        bool nested = false;
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            t.load({tableLine("100"), tableLine("200")});
            t.table.sortBy(Remark);
            t.edit(1, Remark, QStringLiteral("später")); // goes with the next save
            nested = t.table.SaveTable();
            t.load({tableLine("300", "", "", "", "neueste")});
            QVERIFY(t.table.saveRunning());
        };
        // The save inside the save asked nothing and sent nothing.
        QCOMPARE(t.save(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? "}));
        QVERIFY(nested && !t.table.saveRunning());
        QCOMPARE(t.sent(), (QList<QByteArray>{
                               gloe("4711"), sdat({record("4712", "", "", "alt"), record("20")})}));
        // Tables sent before our rows are dropped; the edit made meanwhile is still undecided.
        QCOMPARE(t.table.lines(), lines);
        QCOMPARE(t.table.model().cell(1, Remark), QByteArray("sp\xE4ter"));
        QVERIFY(t.table.hasUndecidedEdits());
    }

    // Refused before or after a clearing, the edits stay, a table waits, the next save sends.
    void aSaveWithoutTheLinkIsRefusedAndTheEditsStay() {
        Table t;
        const QList<QByteArray> lines{tableLine("4711", "", "", "1.00", "alt"),
                                      tableLine("4800", "", "", "2.00")};
        t.load(lines);
        t.edit(0, Number, QStringLiteral("4712"));
        t.edit(1, Number, QStringLiteral("4801"));
        QCOMPARE(t.save(), (QStringList{kNoLink, "refused"}));
        QCOMPARE(t.fake.prompts.shown[0].flags, mb::Ok | mb::IconExclamation);
        QVERIFY(t.attach());
        t.load({tableLine("1")});
        QCOMPARE(t.table.lines(), lines);
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (!box.text.startsWith(QStringLiteral("Nst. 4800")))
                return;
            t.peer.socket->disconnectFromHost();
            QTRY_VERIFY(!t.link.isConnected());
        };
        QCOMPARE(t.save({mb::IdOk, mb::IdOk, mb::IdCancel}).mid(3),
                 (QStringList{kNoLink, "refused"}));
        QTRY_COMPARE(t.peer.frames, QList<QByteArray>{gloe("4711")});
        // The cleared number is settled, the rest waits for the next save.
        QCOMPARE(t.table.rowNst()[0], QByteArray("4712"));
        QCOMPARE(t.table.rowNst()[1], QByteArray("4800"));
        QVERIFY(t.table.hasUndecidedEdits());
        t.fake.prompts.whileOpen = {};
        t.peer.frames.clear();
        QVERIFY(t.attach());
        t.save({mb::IdOk, mb::IdCancel});
        QCOMPARE(t.sent(),
                 QList<QByteArray>{sdat({record("4712", "", "", "alt"), record("4801")})});
        // Sent: what comes now is the server's table again.
        QVERIFY(!t.table.hasUndecidedEdits());
        t.load({tableLine("2")});
        QCOMPARE(t.table.lines(), QList<QByteArray>{tableLine("2")});
    }

    void aDeclinedSaveLetsTheHeldTableInAndSortingAsksFirst() {
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine("20"), tableLine("10")});
        t.edit(0, Remark, QStringLiteral("neu"));
        // Sorting over the edit asks; Cancel keeps everything as it is.
        t.fake.prompts.answers = {mb::IdCancel};
        t.table.sortBy(Number);
        QCOMPARE(t.fake.prompts.texts(), QStringList{"Ungespeicherte Änderungen verwerfen ?"});
        QCOMPARE(t.fake.prompts.shown[0].flags, 0x121u);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "10"}));
        const QList<QByteArray> newer{tableLine("30"), tableLine("5")};
        t.load(newer);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"20", "10"}));
        QCOMPARE(t.save({mb::IdCancel}), QStringList{kSaveQuestion});
        QCOMPARE(t.table.lines(), newer);
        QCOMPARE(t.sent(), QList<QByteArray>{});
        // Agreeing drops the edits, and a table held back for them is the one sorted.
        t.edit(0, Remark, QStringLiteral("neu"));
        t.load({tableLine("9"), tableLine("8")});
        t.table.sortBy(Number);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"8", "9"}));
        QVERIFY(!t.table.isModified());
        // Declined edits are the operator's decision: a sort or a table replaces them at once.
        t.edit(0, Remark, QStringLiteral("neu"));
        QCOMPARE(t.save({mb::IdCancel}), QStringList{kSaveQuestion});
        t.table.sortBy(Remark);
        t.load({tableLine("1")});
        QCOMPARE(t.fake.prompts.shown.size(), 1);
        QCOMPARE(t.numbers(), QList<QByteArray>{"1"});
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"

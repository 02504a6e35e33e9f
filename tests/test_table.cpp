#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "TableFixtures.h"
#include "link/ServerLink.h"
#include "table/NumberTable.h"
#include "table/NummernModel.h"
#include "table/TableRecord.h"

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
    // Each changed field once, blanks no change; a whole table is cut after 30 rows.
    void thePreviewNamesEachVisibleChange() {
        const auto preview = [](const QList<QByteArray>& edited, const QList<QByteArray>& loaded) {
            NummernModel model;
            // The model keeps Qt's rules for a view while it is refilled.
            QAbstractItemModelTester tester(&model,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            model.fill(edited);
            return changePreview(model.rows(), loaded);
        };
        QCOMPARE(preview({tableLine("1"), tableLine("3", "", "", "", "K\374che")},
                         {tableLine("1"), tableLine("2", "", "110", "", "K\xFC")}),
                 "Verb. 2: Ruf/Zi.-Nummer 2 → 3; Not Nummer. 110 → (leer); Bemerk. Kü → Küche");
        QCOMPARE(preview({tableLine(" 2") + "  x  "}, {tableLine("2", "", "", "", "x")}),
                 QString());
        QList<QByteArray> loaded, edited;
        for (int i = 0; i < 120; ++i) {
            loaded << tableLine(QByteArray::number(i));
            edited << tableLine(QByteArray::number(i + 1000));
        }
        // The first 30 rows, then a count of the rest.
        QCOMPARE(preview(edited, loaded).split(u'\n').mid(29),
                 (QStringList{"Verb. 30: Ruf/Zi.-Nummer 29 → 1029", "… und 90 weitere Zeilen"}));
    }

    // Over an edit a sort asks first: Cancel keeps everything, agreeing refills bytewise from
    // the lines.
    void aSortOverAnEditAsksFirst() {
        Table t;
        t.load({tableLine("20"), tableLine("100")});
        t.edit(0, Alarm, QStringLiteral("999"));
        t.fake.prompts.answers = {mb::IdCancel};
        t.table.sortBy(Number);
        QCOMPARE(t.fake.prompts.texts(), QStringList{"Ungespeicherte Änderungen verwerfen ?"});
        QCOMPARE(trimmed(t.table.model().cell(0, Alarm)), QByteArray("999"));
        t.table.sortBy(Number);
        QCOMPARE(t.numbers(), (QList<QByteArray>{"100", "20"}));
        QVERIFY(!t.table.isModified());
    }

    // A changed number with charges asks to clear them until the operator says yes.
    void savesSendEveryRowAndAskToClearTheChargesOfChangedNumbers() {
        Table t;
        QVERIFY(t.attach());
        const QByteArray twenty = "12345678901234567890";
        t.load({tableLine("4711", "", "", "12.50"), tableLine("4800", "", "", "0,00"),
                tableLine("5000", "", "", "3.00"), tableLine(twenty, "1", "2", "", "Geb\xFChr")});
        QCOMPARE(t.save(), QStringList{}); // nothing edited: nothing asked, nothing sent
        t.edit(0, Number, QStringLiteral("4712"));
        t.edit(1, Number, QStringLiteral("1234567890123456789"));
        t.edit(2, Number, QStringLiteral(" 5001"));
        t.edit(3, Remark, QStringLiteral("Küche, Gebühr €"));
        QCOMPARE(t.save({mb::IdCancel}), QStringList{kSaveQuestion});
        QVERIFY(
            t.fake.prompts.shown[0].details.startsWith("Verb. 1: Ruf/Zi.-Nummer 4711 → 4712\n"));
        QCOMPARE(t.sent(), QList<QByteArray>{});
        QCOMPARE(t.save({mb::IdOk, mb::IdOk, mb::IdCancel}),
                 (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                              "Nst. 5000 (5001)  Gebühren löschen ? "}));
        const QByteArray saved =
            sdat({record("4712"), "1234567890123456789 " + record("").mid(20), record(" 5001"),
                  twenty + record("", "1", "2", "K\374che, Geb\374hr \200").mid(20)});
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("4711"), saved}));
        QCOMPARE(t.save(), (QStringList{kSaveQuestion, "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("5000"), saved}));
    }

    // Matched as the server does: trimmed, no leading "!", to the first blank; the edit stays.
    void aSaveIsRefusedWhileANumberOccursTwice() {
        Table t;
        t.load({tableLine(""), tableLine(""), tableLine("4711"), tableLine("4800")});
        t.edit(3, Number, QStringLiteral(" !4711 Empfang "));
        QCOMPARE(t.save(),
                 (QStringList{"Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! ", "refused"}));
        QCOMPARE(t.numbers()[3], QByteArray("!4711 Empfang"));
    }

    void tablesSortsAndSavesArrivingDuringASaveWait() {
        Table t;
        QVERIFY(t.attach());
        t.load({tableLine("4711", "", "", "12.50", "alt"), tableLine("20", "", "", "0.00")});
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
        // The edit made meanwhile is still undecided.
        QCOMPARE(t.table.model().cell(1, Remark), QByteArray("sp\xE4ter"));
        QVERIFY(t.table.hasUndecidedEdits());
    }

    // Refused, the edits stay, a table waits, the next save sends.
    void aSaveWithoutTheLinkIsRefusedAndTheEditsStay() {
        Table t;
        const QList<QByteArray> lines{tableLine("4711", "", "", "1.00", "alt"),
                                      tableLine("4800", "", "", "2.00")};
        t.load(lines);
        t.edit(0, Number, QStringLiteral("4712"));
        t.edit(1, Number, QStringLiteral("4801"));
        QCOMPARE(t.save(), (QStringList{kNoLink, "refused"}));
        QVERIFY(t.attach());
        t.load({tableLine("1")});
        QCOMPARE(t.table.lines(), lines);
        t.save({mb::IdOk, mb::IdOk, mb::IdCancel});
        QCOMPARE(t.sent(), (QList<QByteArray>{gloe("4711"), sdat({record("4712", "", "", "alt"),
                                                                  record("4801")})}));
        QVERIFY(!t.table.hasUndecidedEdits());
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"

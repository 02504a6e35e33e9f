#include "FakeServices.h"
#include "MemoryWire.h"
#include "TableFixtures.h"
#include "core/table/NumberTable.h"
#include "core/table/NummernModel.h"
#include "core/table/TableRecord.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace fixtures;
using namespace table;

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");

// The table over a link in memory, watched by Qt's model tester as a view would be.
struct Table {
    FakeServices fake;
    MemoryWire link;
    NumberTable table{link, fake.prompts};
    QAbstractItemModelTester tester{&table.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};

    Table() { link.up(); }
    void load(const QList<QByteArray>& lines) { table.tableArrived(tableFrame(lines)); }
    // As the grid's editor does it.
    void edit(int row, Field field, const QString& text) {
        QVERIFY(table.model().setData(table.model().index(row, field), text, Qt::EditRole));
    }
    QList<QByteArray> column(Field f) const {
        QList<QByteArray> out;
        for (const Cells& row : table.rows())
            out.append(trimmed(row[f]));
        return out;
    }
    // A save with these answers: the boxes it showed, and "refused" last when it was.
    QStringList save(const QList<int>& answers = {}) {
        fake.prompts.shown.clear();
        fake.prompts.answers = answers;
        const bool saved = table.SaveTable();
        return fake.prompts.texts() + (saved ? QStringList() : QStringList{"refused"});
    }
    QString details() const { return fake.prompts.shown.value(0).details; }
};

} // namespace

class TestTable : public QObject {
    Q_OBJECT
private slots:
    // A changed number with charges asks to clear them; what went out is the server's now.
    void savesSendEveryRowAndAskToClearTheChargesOfChangedNumbers() {
        Table t;
        const QByteArray twenty = "12345678901234567890";
        t.load({tableLine("4711", "", "", "12.50"), tableLine("4800", "", "", "0,00"),
                tableLine("5000", "", "", "3.00"), tableLine(twenty, "1", "2", "", "Geb\xFChr")});
        QCOMPARE(t.save(), QStringList{}); // nothing edited: nothing asked, nothing sent
        t.edit(0, Number, QStringLiteral("4712"));
        t.edit(1, Number, QStringLiteral("1234567890123456789"));
        t.edit(2, Number, QStringLiteral(" 5001"));
        t.edit(3, Remark, QStringLiteral("Küche, Gebühr €"));
        const QByteArray saved =
            sdat({record("4712"), "1234567890123456789 " + record("").mid(20), record(" 5001"),
                  twenty + record("", "1", "2", "K\374che, Geb\374hr \200").mid(20)});
        QCOMPARE(t.save({mb::IdOk, mb::IdOk, mb::IdCancel}),
                 (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                              "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QVERIFY(t.details().startsWith("Verb. 1: Ruf/Zi.-Nummer 4711 → 4712\n"));
        QCOMPARE(t.link.take(), (QList<QByteArray>{gloe("4711"), saved}));
        QVERIFY(!t.table.hasUnsentEdits());
        QVERIFY(!t.table.isEdited(3, Remark));
        QCOMPARE(t.table.cell(0, Charges), QByteArray("0.00  "));
        // Asked and sent again, but the numbers sent are the server's now.
        QCOMPARE(t.save(), QStringList{kSaveQuestion});
        QCOMPARE(t.link.take(), QList<QByteArray>{saved});
    }

    // What is pending when a clearing went out gets its turn before the rows go out.
    void eventsPendingAtAClearingRunBeforeTheRowsGoOut() {
        Table t;
        t.load({tableLine("4711", "", "", "12.50")});
        t.edit(0, Number, QStringLiteral("4712"));
        QList<QByteArray> sentWhenRun;
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text.startsWith("Nst. "))
                QTimer::singleShot(0, [&] { sentWhenRun = t.link.sent; });
        };
        t.save();
        QCOMPARE(sentWhenRun, QList<QByteArray>{gloe("4711")});
    }

    // Matched as the server does: trimmed, no leading "!", to the first blank, so that a blank
    // after the mark leaves no number; the edit stays.
    void aSaveIsRefusedWhileANumberOccursTwice() {
        Table t;
        t.load({tableLine("! 4711"), tableLine("! 4711"), tableLine("4711"), tableLine("4800")});
        t.edit(3, Number, QStringLiteral(" !4711 Empfang "));
        QCOMPARE(t.save(),
                 (QStringList{"Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! ", "refused"}));
        QCOMPARE(t.column(Number)[3], QByteArray("!4711 Empfang"));
    }

    // Text typed back is no edit, nor is anything but the editor's text; blanks before the
    // server's text are an edit, but no change worth showing.
    void onlyTextThatWouldBeSentDifferentlyIsAnEdit() {
        Table t;
        t.load({tableLine("4711", "", "", "1.00", "alt")});
        t.edit(0, Remark, QStringLiteral("neu"));
        QCOMPARE(
            t.table.model().data(t.table.model().index(0, Remark), Qt::AccessibleDescriptionRole),
            QStringLiteral("geändert"));
        t.edit(0, Remark, QStringLiteral("alt "));
        QVERIFY(!t.table.model().setData(t.table.model().index(0, Remark), "x", Qt::DisplayRole));
        QVERIFY(!t.table.hasUnsentEdits());
        t.edit(0, Remark, QStringLiteral(" alt"));
        QVERIFY(t.table.isEdited(0, Remark));
        QCOMPARE(t.save({mb::IdCancel}), QStringList{kSaveQuestion});
        QCOMPARE(t.details(), QString());
    }

    // A table over edits shows the server's newest around them; the save question tells what
    // the server changed under an edit and which edits lost their line.
    void aTableArrivingKeepsEveryEditOnItsLine() {
        Table t;
        t.load({tableLine("101", "", "", "0.00", "frei"), tableLine("102", "", "", "0.00"),
                tableLine("103")});
        t.edit(1, Number, QStringLiteral("112"));
        t.edit(0, Remark, QStringLiteral("belegt"));
        t.edit(2, Alarm, QStringLiteral("9"));
        t.edit(2, Remark, QStringLiteral("weg"));
        t.load({tableLine("101", "", "", "0.00", "Gast"), tableLine("102", "", "", "55.55")});
        QCOMPARE(t.column(Number), (QList<QByteArray>{"101", "112"}));
        QCOMPARE(t.column(Charges), (QList<QByteArray>{"0.00", "55.55"}));
        QCOMPARE(t.column(Remark), (QList<QByteArray>{"belegt", ""}));
        QVERIFY(t.table.isModified());
        QCOMPARE(t.save({mb::IdOk, mb::IdOk}),
                 (QStringList{kSaveQuestion, "Nst. 102 (112)  Gebühren löschen ? "}));
        QCOMPARE(t.details(), QStringLiteral("Verb. 1: Bemerk. frei → belegt (Server jetzt: Gast)\n"
                                             "Verb. 2: Ruf/Zi.-Nummer 102 → 112\n"
                                             "Verb. 3 (nicht mehr in der Tabelle des Servers): "
                                             "Alarm Nummer. (leer) → 9; Bemerk. (leer) → weg"));
        QCOMPARE(t.link.take(),
                 (QList<QByteArray>{gloe("102"),
                                    sdat({record("101", "", "", "belegt"), record("112")})}));
        QVERIFY(!t.table.hasUnsentEdits());
    }

    // While a save asks its questions, neither a second save nor a sort touches the rows it
    // is sending. (Which tables it then drops is the model test's.)
    void aSaveRunsAloneOverTheRowsItSends() {
        Table t;
        t.load({tableLine("2", "", "", "", "b"), tableLine("1", "", "", "", "a")});
        t.edit(0, Remark, QStringLiteral("neu"));
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            t.table.sortBy(Number);
            QVERIFY(t.table.SaveTable());
            QVERIFY(t.table.saveRunning());
        };
        QCOMPARE(t.save(), QStringList{kSaveQuestion});
        QCOMPARE(t.link.take(),
                 QList<QByteArray>{sdat({record("2", "", "", "neu"), record("1", "", "", "a")})});
    }

    // Sent or declined, the edits asked about are settled; edits made while the question was
    // open stay for the next save.
    void editsMadeDuringTheQuestionStayForTheNext_data() {
        QTest::addColumn<bool>("sent");
        QTest::newRow("sent") << true;
        QTest::newRow("declined") << false;
    }
    void editsMadeDuringTheQuestionStayForTheNext() {
        QFETCH(bool, sent);
        Table t;
        t.load({tableLine("1"), tableLine("2")});
        t.edit(1, Remark, QStringLiteral("gefragt"));
        t.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            t.edit(0, Remark, QStringLiteral("bleibt"));
        };
        QSignalSpy shownAnew(&t.table.model(), &QAbstractItemModel::modelReset);
        QCOMPARE(t.save({sent ? mb::IdOk : mb::IdCancel}), QStringList{kSaveQuestion});
        QCOMPARE(shownAnew.size(), 1); // the grid is told, or it shows settled edits
        QCOMPARE(t.column(Remark), (QList<QByteArray>{"bleibt", sent ? "gefragt" : ""}));
        QVERIFY(t.table.isEdited(0, Remark));
        QVERIFY(!t.table.isEdited(1, Remark));
        QCOMPARE(t.link.take(),
                 sent ? QList<QByteArray>{sdat({record("1"), record("2", "", "", "gefragt")})}
                      : QList<QByteArray>{});
    }

    // The question shows the first thirty changed lines and counts the rest.
    void thePreviewShowsThirtyLinesAndCountsTheRest() {
        for (const int lines : {31, 32}) {
            Table t;
            QList<QByteArray> table;
            for (int i = 0; i < lines; ++i)
                table << tableLine(QByteArray::number(100 + i));
            t.load(table);
            for (int i = 0; i < lines; ++i)
                t.edit(i, Remark, QStringLiteral("x"));
            t.save({mb::IdCancel});
            const QStringList shown = t.details().split('\n');
            QCOMPARE(shown.size(), 31);
            QCOMPARE(shown.last(),
                     lines == 31 ? "… und 1 weitere Zeile" : "… und 2 weitere Zeilen");
        }
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"

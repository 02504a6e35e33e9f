#include "TableFixtures.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>

namespace {

const QList<QByteArray> kSortExample{
    tableLine("20", "1", "", "0.00", "zwanzig"), tableLine("", "2", "", "0.00", "leer"),
    tableLine("100", "3", "", "0.00", "hundert"), tableLine("abc", "4", "", "0.00", "abc")};

QList<QByteArray> numbersShown(const NummernModel& model) {
    QList<QByteArray> out;
    for (int r = 0; r < model.rowCount(); ++r)
        out.append(table::trimmed(model.cell(r, table::Number)));
    return out;
}

// The darkest grey of the cell's pixels: the colour its text is drawn in.
int darkest(const QImage& image, const QRect& cell) {
    int d = 255;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            d = qMin(d, qGray(image.pixel(x, y)));
    return d;
}

} // namespace

class TestTableGrid : public QObject {
    Q_OBJECT

    FakeServices fakes;
    std::unique_ptr<TNummernForm> form;

    QModelIndex at(int row, table::Field f) const { return form->GridModel->index(row, f); }
    QModelIndex current() const { return form->NummernGrid->currentIndex(); }

    void showForm() {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->NummernGrid->setFocus();
    }

    // Double-clicks the header of the model column, in the middle of its section.
    void doubleClickHeader(int section) {
        QHeaderView* header = form->NummernGrid->horizontalHeader();
        const QPoint p(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                       header->height() / 2);
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, p);
    }

private slots:
    void init() {
        fakes = {};
        form = std::make_unique<TNummernForm>(QString(), fakes.services());
        form->Timer1.stop();
        form->ClientZuServer.abort();
    }
    void cleanup() { form.reset(); }

    void modelPassesTheModelTester() {
        NummernModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.setData(model.index(0, table::Remark), QStringLiteral("x"), Qt::EditRole));
        model.fill(kSortExample);
        QVERIFY(!model.setData(model.index(0, table::Charges), QStringLiteral("9"), Qt::EditRole));
        model.fill({});
        QCOMPARE(model.rowCount(), 0);
        model.fill(QList<QByteArray>(120, tableLine("1")));
        QCOMPARE(model.rowCount(), 120);
    }

    void gridShapeAndContents() {
        QTableView* grid = form->NummernGrid;
        // Before the first table: one empty row, no titles, no labels.
        QCOMPARE(form->GridModel->rowCount(), 1);
        QCOMPARE(form->GridModel->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString());
        QCOMPARE(form->GridModel->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(),
                 QString());
        QCOMPARE(grid->verticalHeader()->width(), 64);
        const int widths[] = {85, 130, 118, 68, 288};
        for (int c = 0; c < table::FieldCount; ++c)
            QCOMPARE(grid->columnWidth(c), widths[c]);
        QCOMPARE(grid->rowHeight(0), 17);
        QVERIFY(grid->showGrid());
        QCOMPARE(grid->textElideMode(), Qt::ElideNone);

        QList<QByteArray> lines(12, tableLine("1"));
        lines[11] = tableLine("  4711", "", "", " 12.50",
                              "  K\xFC"
                              "che  ");
        form->LoadTable(tableFrame(lines));
        QCOMPARE(form->GridModel->rowCount(), 12);
        const QStringList titles{"Ruf/Zi.-Nummer", "Alarm Nummer.", "Not Nummer.", "Gebühr.",
                                 "Bemerk."};
        for (int c = 0; c < table::FieldCount; ++c)
            QCOMPARE(form->GridModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                     titles[c]);
        QCOMPARE(form->GridModel->headerData(11, Qt::Vertical, Qt::DisplayRole).toString(),
                 QStringLiteral("Verb. 12"));
        // Cells show the field as cut, every blank kept; the number is remembered trimmed.
        QCOMPARE(at(11, table::Number).data().toString(), QString("  4711") + QString(14, ' '));
        QCOMPARE(at(11, table::Remark).data().toString(), QStringLiteral("  Küche  "));
        QCOMPARE(form->RowNst[11], QByteArray("4711"));
        QCOMPARE(grid->rowHeight(11), 17);
    }

    void anyBytesFromTheServerAreShownWithoutHarm() {
        showForm();
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            if (b != '\n')
                bytes.append(char(b));
        form->LoadTable(tableFrame({bytes, QByteArray(500, '9'), bytes.mid(100, 70)}));
        QCOMPARE(form->GridModel->rowCount(), 3);
        QCOMPARE(form->GridModel->cell(0, table::Remark), bytes.mid(66, 40));
        QVERIFY(!form->NummernGrid->viewport()->grab().isNull());
        // A number cell full of control characters can still be typed over.
        QVERIFY(typeInto(*form, 0, table::Number, "4711"));
        QCOMPARE(form->GridModel->cell(0, table::Number), QByteArray("4711"));
    }

    void headerDoubleClickSortsNumberOrRemark() {
        showForm();
        form->LoadTable(tableFrame(kSortExample));
        QVERIFY(typeInto(*form, 0, table::Alarm, "999"));
        QVERIFY(form->TableModified);

        // Alarm, emergency and charges headers, the label column and a data cell: nothing.
        for (int section : {1, 2, 3})
            doubleClickHeader(section);
        QTest::mouseDClick(form->NummernGrid->verticalHeader()->viewport(), Qt::LeftButton, {},
                           QPoint(10, 5));
        QCOMPARE(numbersShown(*form->GridModel), (QList<QByteArray>{"20", "", "100", "abc"}));
        QVERIFY(form->TableModified);

        doubleClickHeader(table::Number);
        QCOMPARE(numbersShown(*form->GridModel), (QList<QByteArray>{"100", "20", "abc", ""}));
        QCOMPARE(form->TableLines.first(), kSortExample[2]);
        QCOMPARE(form->GridModel->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(),
                 QStringLiteral("Verb. 1"));
        QCOMPARE(form->RowNst[0], QByteArray("100"));
        QCOMPARE(form->RowNst[3], QByteArray());
        // The refill shows the lines as received: the edit is gone and nothing counts as changed.
        QVERIFY(!form->TableModified);
        QCOMPARE(table::trimmed(form->GridModel->cell(1, table::Alarm)), QByteArray("1"));

        doubleClickHeader(table::Remark);
        QCOMPARE(numbersShown(*form->GridModel), (QList<QByteArray>{"abc", "100", "", "20"}));
    }

    void keyboardAndMouseNeverReachTheCharges() {
        showForm();
        form->LoadTable(tableFrame(
            {tableLine("1", "2", "3", "12.50", "r"), tableLine("4", "5", "6", "0.00", "s")}));
        QTableView* grid = form->NummernGrid;
        grid->setCurrentIndex(at(0, table::Number));
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(grid, Qt::Key_Tab);
            QVERIFY2(current().column() != table::Charges, "Tab landed on the charges");
        }
        grid->setCurrentIndex(at(0, table::Emergency));
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(current(), at(0, table::Remark));
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(current(), at(0, table::Emergency));
        for (auto key : {Qt::Key_End, Qt::Key_Down, Qt::Key_Up, Qt::Key_Backtab, Qt::Key_Home}) {
            QTest::keyClick(grid, key);
            QVERIFY2(current().column() != table::Charges, "a key landed on the charges");
        }
        // While an editor is open, Tab leaves it for the next editable cell.
        grid->setCurrentIndex(at(0, table::Emergency));
        grid->edit(current());
        QTest::keyClick(grid->indexWidget(current()), Qt::Key_Tab);
        QCOMPARE(current(), at(0, table::Remark));

        grid->setCurrentIndex(at(1, table::Number));
        const QPoint charges = grid->visualRect(at(0, table::Charges)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, charges);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, charges);
        QCOMPARE(current(), at(1, table::Number));
        QVERIFY(!grid->indexWidget(at(0, table::Charges)));
        QVERIFY(!form->TableModified);
    }

    void chargesReadLikeAnyOtherCell() {
        showForm();
        form->LoadTable(tableFrame({tableLine("", "0815", "", "12.50")}));
        form->NummernGrid->clearSelection();
        form->NummernGrid->setCurrentIndex({});
        const QImage image = form->NummernGrid->viewport()->grab().toImage();
        const int charges = darkest(image, form->NummernGrid->visualRect(at(0, table::Charges)));
        const int alarm = darkest(image, form->NummernGrid->visualRect(at(0, table::Alarm)));
        QVERIFY2(
            charges <= alarm + 30,
            qPrintable(QStringLiteral("charges text grey %1, alarm %2").arg(charges).arg(alarm)));
    }

    void editorsHoldToTheirMasks() {
        showForm();
        form->LoadTable(tableFrame({tableLine("4711", "0815", "", "0.00", "alt")}));
        QTableView* grid = form->NummernGrid;

        // Letters into an alarm number change nothing, not even the modified flag.
        grid->setCurrentIndex(at(0, table::Alarm));
        QTest::keyClicks(nullptr, "abc");
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(current()));
        QVERIFY(editor);
        QCOMPARE(QApplication::focusWidget(), editor);
        QCOMPARE(editor->text(), QStringLiteral("0815"));
        QVERIFY(!form->TableModified);
        QTest::keyClick(editor, Qt::Key_Escape);

        QVERIFY(typeInto(*form, 0, table::Alarm, QString(21, '7') + "x"));
        QCOMPARE(form->GridModel->cell(0, table::Alarm), QByteArray(20, '7'));
        QVERIFY(typeInto(*form, 0, table::Number, "!Zi. 12-b Empfang, hinten"));
        QCOMPARE(form->GridModel->cell(0, table::Number), QByteArray("!Zi. 12-b Empfang, "));
        QVERIFY(typeInto(*form, 0, table::Remark, QString(45, 'r')));
        QCOMPARE(form->GridModel->cell(0, table::Remark), QByteArray(40, 'r'));
        // A character Windows-1252 cannot hold is refused, the euro sign is not.
        QVERIFY(typeInto(*form, 0, table::Remark, QStringLiteral("a\u2603€")));
        QCOMPARE(form->GridModel->cell(0, table::Remark), QByteArray("a\x80"));
    }

    void typingAndDeletingCountsAsChange() {
        showForm();
        form->LoadTable(tableFrame({tableLine("4711")}));
        QTableView* grid = form->NummernGrid;
        // Opening and closing an editor is no change.
        grid->setCurrentIndex(at(0, table::Remark));
        grid->edit(current());
        QTest::keyClick(grid->indexWidget(current()), Qt::Key_Tab);
        QVERIFY(!form->TableModified);

        grid->setCurrentIndex(at(0, table::Remark));
        grid->edit(current());
        QWidget* editor = grid->indexWidget(current());
        QTest::keyClick(editor, 'x');
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Tab);
        QVERIFY(form->TableModified);
        QCOMPARE(form->GridModel->cell(0, table::Remark), QByteArray());
        // A new table discards the edit.
        form->LoadTable(tableFrame({tableLine("4711")}));
        QVERIFY(!form->TableModified);
    }
};

QTEST_MAIN(TestTableGrid)
#include "test_table_grid.moc"

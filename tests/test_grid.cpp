// The grid as the operator uses it: keys, editors and their masks, and the saves from the
// window with what was typed.
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"
#include "table/EditMask.h"

#include <QPushButton>
#include <QSignalSpy>

using namespace fixtures;
using namespace window_test;

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void keysNeverReachTheChargesAndEditorsHoldToTheirMasks() {
        Window w;
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("1", "2", "3", "12.50", "r"),
                        tableLine("4", "", "", "", "[___ vom Server")}));
        QTableView* grid = w.grid();
        grid->setCurrentIndex(w.at(0, table::Number));
        const std::pair<Qt::Key, QModelIndex> steps[] = {
            {Qt::Key_Tab, w.at(0, table::Alarm)},      {Qt::Key_Tab, w.at(0, table::Emergency)},
            {Qt::Key_Tab, w.at(0, table::Remark)},     {Qt::Key_Tab, w.at(1, table::Number)},
            {Qt::Key_Backtab, w.at(0, table::Remark)}, {Qt::Key_Left, w.at(0, table::Emergency)}};
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(grid, key);
            QCOMPARE(grid->currentIndex(), expected);
        }
        const QPoint charges = grid->visualRect(w.at(0, table::Charges)).center();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, charges);
        QVERIFY(!grid->indexWidget(w.at(0, table::Charges)));
        QCOMPARE(grid->currentIndex(), w.at(0, table::Emergency));

        // The charges are drawn as dark as any other text, not greyed out.
        const QImage image = grid->viewport()->grab().toImage();
        int darkest[table::FieldCount] = {255, 255, 255, 255, 255};
        for (table::Field f : {table::Alarm, table::Charges})
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (grid->visualRect(w.at(0, f)).contains(x, y))
                        darkest[f] = qMin(darkest[f], qGray(image.pixel(x, y)));
        QVERIFY2(darkest[table::Charges] <= darkest[table::Alarm] + 30, "charges drawn grey");

        // An editor shows the cell without the blanks that pad it to its width.
        grid->edit(w.at(1, table::Number));
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(w.at(1, table::Number)));
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("4"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(w.typeInto(0, table::Alarm, "12x 3"));
        QVERIFY(w.typeInto(0, table::Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, table::Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.model().rows()[0],
                 (table::Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));
        // A frame marker would cut the save frame apart: the key that completes one is refused,
        // and so is a paste that holds one. The server's own may stay.
        QVERIFY(w.typeInto(1, table::Number, "a{_ENDE__}b[___c"));
        grid->setCurrentIndex(w.at(1, table::Remark));
        grid->edit(w.at(1, table::Remark));
        editor = qobject_cast<QLineEdit*>(grid->indexWidget(w.at(1, table::Remark)));
        QVERIFY(editor);
        editor->end(false);
        for (const char* paste : {"!", " {_ENDE__}", "[___"})
            editor->insert(QString::fromLatin1(paste));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(w.model().rows()[1][table::Number], QByteArray("a{_ENDE__b[__c"));
        QCOMPARE(w.model().rows()[1][table::Remark], QByteArray("[___ vom Server!"));

        // A line break would tear the save frame apart; letters the server put into an alarm
        // number may be removed or moved, but none added, and a removed one leaves no room.
        int pos = 0;
        QString broken = "a\nb", fewer = "912a", more = "12abc", swapped = "912b", moved = "b1a";
        table::EditMaskValidator remark(*table::NummernGridGetEditMask(table::Remark), "");
        table::EditMaskValidator alarm(*table::NummernGridGetEditMask(table::Alarm), "12ab");
        table::EditMaskValidator order(*table::NummernGridGetEditMask(table::Alarm), "a1b");
        QCOMPARE(remark.validate(broken, pos), QValidator::Invalid);
        QCOMPARE(alarm.validate(fewer, pos), QValidator::Acceptable);
        QCOMPARE(alarm.validate(more, pos), QValidator::Invalid);
        QCOMPARE(alarm.validate(swapped, pos), QValidator::Invalid);
        QCOMPARE(order.validate(moved, pos), QValidator::Acceptable);
    }

    // "Speichern", the close box and the quit send what the operator typed, the text still in
    // an open editor included. A refused save keeps the window up (a quit from the tray brings
    // it forward) and the program running; else the close box always goes to the tray, and
    // "Speichern" when the tray option says so.
    void savingFromTheWindow_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("linkDown");
        QTest::addColumn<bool>("toTray");
        QTest::addColumn<QString>("box");
        const QByteArray off = "[ALLGEMEIN]\nInSysTry=0\n";
        const QString twin = QStringLiteral("Eintrag Ruf/Zi.Nummer ->  20 gibt es bereits.! ");
        const QString noLink = QStringLiteral(
            "Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht gespeichert.");
        QTest::newRow("Speichern") << 0 << QByteArray() << "4712" << false << true << kSaveQuestion;
        QTest::newRow("Speichern, tray option off")
            << 0 << off << "4712" << false << false << kSaveQuestion;
        QTest::newRow("Speichern, twin") << 0 << QByteArray() << "20" << false << false << twin;
        QTest::newRow("close, tray option off")
            << 1 << off << "4712" << false << true << kSaveQuestion;
        QTest::newRow("close, twin") << 1 << QByteArray() << "20" << false << false << twin;
        QTest::newRow("close, no link") << 1 << QByteArray() << "4712" << true << false << noLink;
        QTest::newRow("quit, twin") << 2 << QByteArray() << "20" << false << false << twin;
    }
    void savingFromTheWindow() {
        QFETCH(int, action);
        QFETCH(QByteArray, settings);
        QFETCH(QString, number);
        QFETCH(bool, linkDown);
        QFETCH(bool, toTray);
        QFETCH(QString, box);
        Window w;
        w.start(settings);
        w.showActive();
        QVERIFY(w.load({tableLine("4711", "", "", "0.00"), tableLine("20")}));
        QVERIFY(w.typeInto(0, table::Number, number));
        QVERIFY(w.typeInto(0, table::Remark, "neu", false));
        if (linkDown) {
            w.peer.socket->disconnectFromHost();
            QTRY_COMPARE(w.label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
        }
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        if (action == 2) {
            w.form->hide();
            w.form->B1Click();
        } else {
            action == 1 ? (void)w.form->close() : w.child<QPushButton>("Button1")->click();
        }
        QCOMPARE(w.inTray(), toTray);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(w.fake.prompts.shown.value(action == 2 ? 1 : 0).text, box);
        if (linkDown)
            QCOMPARE(table::trimmed(w.model().cell(0, table::Remark)), QByteArray("neu"));
        else
            QCOMPARE(w.sent(),
                     box == kSaveQuestion
                         ? QList<QByteArray>{sdat({record("4712", "", "", "neu"), record("20")})}
                         : QList<QByteArray>{});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestGrid t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_grid.moc"

#include "FakeServices.h"
#include "link/Frames.h"
#include "table/EditMask.h"
#include "table/NummernModel.h"
#include "table/TableSort.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <memory>

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");

// Lines, records and frames written out by hand, so that tests state the bytes they expect.
QByteArray pad(const QByteArray& text, int width) {
    return text.leftJustified(width, ' ', true);
}
QByteArray tableLine(const QByteArray& number, const QByteArray& alarm = {},
                     const QByteArray& emergency = {}, const QByteArray& charges = {},
                     const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(charges, 6) + remark;
}
QByteArray record(const QByteArray& number, const QByteArray& alarm = {},
                  const QByteArray& emergency = {}, const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(remark, 40);
}
QByteArray tableFrame(const QList<QByteArray>& lines) {
    QByteArray body;
    for (const QByteArray& l : lines)
        body += frames::line(l);
    return frames::compose(frames::kTable, body);
}
QByteArray sdat(const QList<QByteArray>& records) {
    QByteArray f = "[___SDAT]\n\r";
    for (int i = 0; i < records.size(); ++i)
        f += QByteArray::number(i) + "\n\r" + records[i] + "\n\r";
    return f + "{_ENDE__}";
}
QByteArray gloe(const QByteArray& number) {
    return "[___GLOE]\n\r" + number + "\n\r{_ENDE__}";
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeServices> fakes;
    std::unique_ptr<TNummernForm> form;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::unique_ptr<QTcpServer> server;
    QTcpSocket* peer = nullptr;
    FrameReader reader;

    QModelIndex at(int row, table::Field f) const { return form->GridModel->index(row, f); }
    QModelIndex current() const { return form->NummernGrid->currentIndex(); }
    void load(const QList<QByteArray>& lines) { form->LoadTable(tableFrame(lines)); }
    QList<QByteArray> numbersShown() const {
        QList<QByteArray> out;
        for (int r = 0; r < form->GridModel->rowCount(); ++r)
            out.append(table::trimmed(form->GridModel->cell(r, table::Number)));
        return out;
    }
    QStringList asked() const {
        QStringList t;
        for (const auto& box : fakes->prompts.shown)
            t.append(box.text);
        return t;
    }
    void doubleClickHeader(int section) {
        QHeaderView* header = form->NummernGrid->horizontalHeader();
        const QPoint p(header->sectionViewportPosition(section) + 5, 5);
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, p);
    }

    // Types over the cell as the operator does. Key events carry only their text, as QTest
    // cannot spell characters beyond ASCII as keys.
    bool typeInto(int row, table::Field field, const QString& text, bool thenTab = true) {
        form->NummernGrid->setCurrentIndex(at(row, field));
        form->NummernGrid->edit(at(row, field));
        auto* editor = qobject_cast<QLineEdit*>(form->NummernGrid->indexWidget(at(row, field)));
        if (!editor)
            return false;
        editor->selectAll();
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(editor, &press);
        }
        if (thenTab)
            QTest::keyClick(editor, Qt::Key_Tab);
        return true;
    }

    // Frames sent since the last call. A heartbeat sent last marks the end, so "nothing was
    // sent" is known without waiting for a time-out.
    QList<QByteArray> sent() {
        form->Send(frames::heartbeat());
        QList<QByteArray> got;
        if (!QTest::qWaitFor([&] {
                return (got += reader.feed(peer->readAll())).endsWith(frames::heartbeat());
            }))
            return {"no marker received"};
        got.removeLast();
        return got;
    }

private slots:
    // The form talks to a server socket of the test on 127.0.0.1, its timers stopped so that
    // only what the test causes goes over the wire.
    void init() {
        fakes = std::make_unique<FakeServices>();
        form = std::make_unique<TNummernForm>(QString(), fakes->services());
        form->Timer1.stop();
        form->ClientZuServer.abort();
        server = std::make_unique<QTcpServer>();
        QVERIFY(server->listen(QHostAddress::LocalHost, 0));
        form->ClientZuServer.connectToHost(QHostAddress::LocalHost, server->serverPort());
        QVERIFY(
            QTest::qWaitFor([&] { return form->Connected && server->hasPendingConnections(); }));
        form->Timer2.stop();
        QVERIFY((peer = server->nextPendingConnection()));
        // Every load, edit and sort of every test goes past the model tester.
        tester = std::make_unique<QAbstractItemModelTester>(
            form->GridModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->NummernGrid->setFocus();
    }
    void cleanup() {
        tester.reset();
        form.reset();
        server.reset();
        reader.clear();
    }

    void loadKeepsAtMost120LinesAsSent() {
        QByteArray bytes; // every byte but the line end
        for (int b = 0; b < 256; ++b)
            if (b != '\n')
                bytes.append(char(b));
        QList<QByteArray> lines{bytes, "", tableLine("", "0815", "", "12.50")};
        lines += QList<QByteArray>(122, "4712");
        lines[119] = tableLine("  4711", "", "", " 12.50", "  K\374che  " + QByteArray(99, 'x'));
        load(lines);
        QCOMPARE(form->TableLines.size(), 120);
        QCOMPARE(form->TableLines[0], bytes);
        QCOMPARE(form->TableLines[1], QByteArray("  "));
        QCOMPARE(form->GridModel->cell(3, table::Alarm), QByteArray());
        // Cells show the field as cut, every blank kept; the number is remembered trimmed.
        QCOMPARE(at(119, table::Number).data().toString(), "  4711" + QString(14, ' '));
        QCOMPARE(at(119, table::Remark).data().toString(), "  Küche  " + QString(31, 'x'));
        QCOMPARE(form->RowNst[119], QByteArray("4711"));

        // The charges are drawn as dark as any other text, not greyed out.
        const QImage image = form->NummernGrid->viewport()->grab().toImage();
        int darkest[table::FieldCount] = {255, 255, 255, 255, 255};
        for (table::Field f : {table::Alarm, table::Charges})
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (form->NummernGrid->visualRect(at(2, f)).contains(x, y))
                        darkest[f] = qMin(darkest[f], qGray(image.pixel(x, y)));
        QVERIFY2(darkest[table::Charges] <= darkest[table::Alarm] + 30, "charges drawn grey");

        // A body without line ends still ends; an empty table empties the grid.
        QCOMPARE(table::parseTableFrame("[___D_IN]4711{_ENDE__}"), QList<QByteArray>(120, "  "));
        load({});
        QCOMPARE(form->GridModel->rowCount(), 0);
    }

    void headerDoubleClickSortsByNumberOrRemark() {
        // Remarks: only ASCII letters fold, '_' sorts after them, 'ä' (0xE4) after everything.
        load({tableLine("20", "1", "", "", "_"), tableLine("", "2", "", "", "\xE4"),
              tableLine("100", "3", "", "", "b"), tableLine("abc", "4", "", "", "Z")});
        QVERIFY(typeInto(0, table::Alarm, "999"));
        for (int section : {table::Alarm, table::Emergency, table::Charges})
            doubleClickHeader(section);
        QCOMPARE(numbersShown(), (QList<QByteArray>{"20", "", "100", "abc"}));
        QVERIFY(form->TableModified);

        doubleClickHeader(table::Number);
        QCOMPARE(numbersShown(), (QList<QByteArray>{"100", "20", "abc", ""}));
        QCOMPARE(form->RowNst[0], QByteArray("100"));
        // The refill shows the lines as received: the edit is gone.
        QVERIFY(!form->TableModified);
        QCOMPARE(table::trimmed(form->GridModel->cell(1, table::Alarm)), QByteArray("1"));

        doubleClickHeader(table::Remark);
        QCOMPARE(numbersShown(), (QList<QByteArray>{"100", "abc", "20", ""}));
        // 'ä' folded to 'Ä' would jump before 'Ü'.
        QVERIFY(table::compareKeys("\xDC", "\xE4") < 0);
    }

    void keysNeverReachTheChargesAndEditorsHoldToTheirMasks() {
        load({tableLine("1", "2", "3", "12.50", "r"), tableLine("4")});
        QTableView* grid = form->NummernGrid;
        grid->setCurrentIndex(at(0, table::Number));
        const std::pair<Qt::Key, QModelIndex> steps[] = {
            {Qt::Key_Tab, at(0, table::Alarm)},      {Qt::Key_Tab, at(0, table::Emergency)},
            {Qt::Key_Tab, at(0, table::Remark)},     {Qt::Key_Tab, at(1, table::Number)},
            {Qt::Key_Backtab, at(0, table::Remark)}, {Qt::Key_Left, at(0, table::Emergency)},
            {Qt::Key_Right, at(0, table::Remark)},   {Qt::Key_Down, at(1, table::Remark)},
            {Qt::Key_Home, at(1, table::Number)},    {Qt::Key_End, at(1, table::Remark)}};
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(grid, key);
            QCOMPARE(current(), expected);
        }
        const QPoint charges = grid->visualRect(at(0, table::Charges)).center();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, charges);
        QVERIFY(!grid->indexWidget(at(0, table::Charges)));
        QCOMPARE(current(), at(1, table::Remark));
        QVERIFY(!form->TableModified);

        QVERIFY(typeInto(0, table::Alarm, "12x 3"));
        QVERIFY(typeInto(0, table::Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(typeInto(0, table::Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(form->GridModel->rows()[0],
                 (table::Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));

        // A line break would tear the save frame apart; letters the server put into an alarm
        // number may be removed, but none added.
        int pos = 0;
        QString broken = "a\nb", fewer = "912a", more = "12abc", swapped = "912b";
        table::EditMaskValidator remark(*table::NummernGridGetEditMask(table::Remark), "");
        table::EditMaskValidator alarm(*table::NummernGridGetEditMask(table::Alarm), "12ab");
        QCOMPARE(remark.validate(broken, pos), QValidator::Invalid);
        QCOMPARE(alarm.validate(fewer, pos), QValidator::Acceptable);
        QCOMPARE(alarm.validate(more, pos), QValidator::Invalid);
        // A letter removed leaves no room for another one.
        QCOMPARE(alarm.validate(swapped, pos), QValidator::Invalid);
    }

    void onlyARemarkEditedSendsEveryRowAsItStands() {
        const QByteArray twenty = "12345678901234567890";
        load({tableLine("4711", "0815", "112", "  0.00", "Geb\xFChr"),
              tableLine("4712", "", "", " 12.50", "Zimmer 2"), tableLine(twenty, "1", "2", "")});
        QVERIFY(form->SaveSettingsAndTable()); // unedited: nothing asked, nothing sent
        QVERIFY(typeInto(1, table::Remark, "Küche, Gebühr €"));
        // Tab left an untouched editor on the 20-character number, which shows only 19.
        QVERIFY(form->NummernGrid->indexWidget(at(2, table::Number)));

        QVERIFY(form->SaveSettingsAndTable());
        QCOMPARE(asked(), QStringList{kSaveQuestion});
        QCOMPARE(fakes->prompts.shown[0].caption, QStringLiteral(" A C H T U N G "));
        QCOMPARE(fakes->prompts.shown[0].flags, 0x121u); // OK/Cancel, question, Cancel default
        QCOMPARE(sent(),
                 QList<QByteArray>{
                     "[___SDAT]\n\r0\n\r" + record("4711", "0815", "112", "Geb\xFChr") +
                     "\n\r1\n\r" + record("4712", "", "", "K\374che, Geb\374hr \200") +
                     "\n\r2\n\r" + twenty + record("", "1", "2").mid(20) + "\n\r{_ENDE__}"});
    }

    void onlyChangedNumbersWithChargesAskToClearThem() {
        load({tableLine("4711", "", "", "12.50"), tableLine("4800", "", "", "0,00"),
              tableLine("4900", "", "", " 0.00 "), tableLine("5000", "", "", "3.00")});
        QVERIFY(typeInto(0, table::Number, "4712"));
        QVERIFY(typeInto(1, table::Number, "1234567890123456789"));
        QVERIFY(typeInto(2, table::Number, "4901"));
        QVERIFY(typeInto(3, table::Number, "5001"));
        fakes->prompts.answers = {mb::IdCancel, mb::IdOk, mb::IdOk, mb::IdCancel};
        QVERIFY(form->SaveSettingsAndTable());
        QCOMPARE(asked(), QStringList{kSaveQuestion});
        QCOMPARE(sent(), QList<QByteArray>{});
        fakes->prompts.shown.clear();
        QVERIFY(form->SaveSettingsAndTable());
        QCOMPARE(asked(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                                       "Nst. 5000 (5001)  Gebühren löschen ? "}));
        const QByteArray table = sdat({record("4712"), "1234567890123456789 " + record("").mid(20),
                                       record("4901"), record("5001")});
        QCOMPARE(sent(), (QList<QByteArray>{gloe("4711"), table}));

        // The declined row is asked about again; the cleared one is settled.
        fakes->prompts.shown.clear();
        QVERIFY(form->SaveSettingsAndTable());
        QCOMPARE(asked(), (QStringList{kSaveQuestion, "Nst. 5000 (5001)  Gebühren löschen ? "}));
        QCOMPARE(sent(), (QList<QByteArray>{gloe("5000"), table}));
    }

    void duplicateNumbersRefuseTheSave_data() {
        QTest::addColumn<QString>("twin");
        QTest::newRow("exclamation") << QStringLiteral("!4711");
        QTest::newRow("with name") << QStringLiteral("4711 Empfang");
    }
    void duplicateNumbersRefuseTheSave() {
        QFETCH(QString, twin);
        // Empty numbers are never twins of each other.
        load({tableLine(""), tableLine(""), tableLine("4711"), tableLine("4800", "", "", "12.50")});
        QVERIFY(typeInto(3, table::Number, twin));
        QVERIFY(!form->SaveSettingsAndTable());
        QCOMPARE(asked(), QStringList{"Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! "});
        QCOMPARE(fakes->prompts.shown[0].flags, 0x20u); // OK only
        QCOMPARE(sent(), QList<QByteArray>{});
    }

    void tablesAndSavesArrivingDuringASaveWait() {
        const QList<QByteArray> newest{tableLine("300", "", "", "", "neueste")};
        load({tableLine("4711", "", "", "12.50", "alt"), tableLine("20", "", "", "0.00")});
        QVERIFY(typeInto(0, table::Number, "4712"));
        QVERIFY(typeInto(0, table::Remark, "neu", false)); // the open editor's text goes too
        bool nested = false;
        fakes->prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text == kSaveQuestion) {
                form->dispatchFrame(tableFrame({tableLine("100"), tableLine("200")}));
                form->NummernGridDblClick(1);
                nested = form->SaveSettingsAndTable();
                form->dispatchFrame(tableFrame(newest));
            }
        };
        QVERIFY(form->SaveSettingsAndTable());
        QVERIFY(nested);
        // The save inside the save asked nothing and sent nothing.
        QCOMPARE(asked(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? "}));
        QCOMPARE(sent(), (QList<QByteArray>{gloe("4711"),
                                            sdat({record("4712", "", "", "neu"), record("20")})}));
        // Then the newest table replaces the grid.
        QCOMPARE(form->TableLines, newest);
        QVERIFY(!form->TableModified);
    }

    void quitOrErrorDuringASaveEndsOnlyAfterIt_data() {
        QTest::addColumn<bool>("error");
        QTest::newRow("quit") << false;
        QTest::newRow("unhandled error") << true;
    }
    void quitOrErrorDuringASaveEndsOnlyAfterIt() {
        QFETCH(bool, error);
        load({tableLine("4711")});
        QVERIFY(typeInto(0, table::Remark, "neu"));
        QSignalSpy ended(form.get(), &TNummernForm::terminateRequested);
        fakes->prompts.answers = {mb::IdOk, mb::IdOk}; // the quit (or error) box, the question
        fakes->prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            error ? form->AppException(QStringLiteral("kaputt")) : form->B1Click();
            QCOMPARE(ended.count(), 0);
        };
        QVERIFY(form->SaveSettingsAndTable());
        QCOMPARE(sent(), QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
        QCOMPARE(ended.count(), 1);
    }
};

QTEST_MAIN(TestTable)
#include "test_table.moc"

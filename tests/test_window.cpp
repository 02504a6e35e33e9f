// The window's wiring and the grid as the operator uses it; the objects behind have suites.
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"
#include "table/EditMask.h"

#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <functional>

using namespace fixtures;
using namespace table;
using namespace window_test;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Only the tray's quit command ends the program, and only after OK.
    void quitAsksFirstAndSaves() {
        Window w;
        w.start();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.fake.prompts.answers = {mb::IdCancel};
        w.form->findChild<QSystemTrayIcon*>()->contextMenu()->actions().value(0)->trigger();
        QCOMPARE(w.fake.prompts.texts(), QStringList{"   TorvanelClient  Beenden ???  "});
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::OkCancel | mb::IconHand | mb::DefButton2);
        QVERIFY(ended.isEmpty() && w.fake.store.values.isEmpty());
        w.form->B1Click(); // OK: the settings saved, and the program ends
        QVERIFY(!w.fake.store.values.isEmpty() && ended.size() == 1);
    }

    // A refused save ends the program after an error; after quit the edits stay on screen.
    void quitOrErrorDuringASaveEndsOnlyAfterIt_data() {
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("refused");
        QTest::newRow("quit") << false << false;
        QTest::newRow("quit, link lost") << false << true;
        QTest::newRow("unhandled error, link lost") << true << true;
    }
    void quitOrErrorDuringASaveEndsOnlyAfterIt() {
        QFETCH(bool, error);
        QFETCH(bool, refused);
        Window w;
        QVERIFY(w.startWith({tableLine("4711")}));
        QVERIFY(w.typeInto(0, Remark, "neu"));
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            error ? w.form->AppException(QStringLiteral("kaputt")) : w.form->B1Click();
            if (refused)
                w.dropLink();
            QCOMPARE(ended.count(), 0);
        };
        QCOMPARE(w.form->SaveSettingsAndTable(), !refused);
        QCOMPARE(ended.count(), error || !refused ? 1 : 0);
        if (!refused)
            QCOMPARE(w.sent(), QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
    }

    // Told once, naming the file, and every save still sends; an error saves and ends.
    void aSettingsFileThatRefusesWritesIsToldOnceAndTheSaveGoesOn() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711")}));
        const QString folder = w.fake.programDir.path();
        QVERIFY(QDir(folder).removeRecursively());
        writeAll(folder, "");
        const auto removeFile = qScopeGuard([&] { QFile::remove(folder); });
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        const std::function<void()> saves[] = {
            [&] { w.form->close(); }, [&] { w.child<QPushButton>("Button1")->click(); },
            [&] { w.form->AppException(QStringLiteral("Zugriffsverletzung")); }};
        for (int i = 0; i < 3; ++i) {
            w.showActive();
            QVERIFY(w.typeInto(0, Remark, QString::number(i)));
            saves[i]();
            QCOMPARE(w.sent(),
                     QList<QByteArray>{sdat({record("4711", "", "", QByteArray::number(i))})});
            QCOMPARE(ended.count(), i == 2 ? 1 : 0);
        }
        int told = 0;
        for (const auto& box : w.fake.prompts.shown)
            told += box.text.contains(QDir::toNativeSeparators(w.ini()));
        QCOMPARE(told, 1);
    }

    // An alarm's prompt brings the window forward with the grid red; the notice stays until the
    // server clears it; a silent server is prompted the same way.
    void whatTheServerSendsReachesTheWindow() {
        Window w;
        w.start();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" Server 127.0.0.1 OK!"));
        QVERIFY(w.load({tableLine("4711"), tableLine("0815")}));
        const QColor normal = w.gridColor();
        int forward = 0;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            forward +=
                w.form->isVisible() && !w.form->isMinimized() && w.gridColor() == Qt::red &&
                QTest::qWaitFor([&] { return QApplication::activeWindow() == w.form.get(); });
        };
        w.form->showMinimized();
        w.form->hide();
        w.peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.fake.prompts.texts(), QStringList{"Alarm von Nst. 17"});
        QCOMPARE(w.gridColor(), normal);
        QLabel* notice = w.child<QLabel>("Label1");
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral(" ALARM = AUS !"));
        w.peer.send(answer("\n\r\n\r"));
        QTRY_VERIFY(notice->isHidden());
        w.peer.send(tableFrame({tableLine("1")}));
        QTRY_COMPARE(w.model().rowCount(), 1);
        w.form->Timer1Timer(); // spends the table's credit
        w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.texts(), (QStringList{"Alarm von Nst. 17", kSilent}));
        QCOMPARE(forward, 2);
    }

    void leftClickShowsTheWindowAndAsksForTheTableOnlyOverALiveLink() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711")}));
        w.form->TrayIconMessage(QSystemTrayIcon::Context);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.sent(), QList<QByteArray>{});
        QVERIFY(w.form->isVisible());
        w.dropLink();
        w.form->showMinimized();
        w.form->TrayIconMessage(QSystemTrayIcon::Trigger);
        QVERIFY(w.form->isVisible() && !w.form->isMinimized());
        QCOMPARE(w.peer.connections, 1);
    }

    void headlineOpensTheSettingsFileOrSaysWhyNot() {
        Window w;
        w.start();
        QTest::mouseClick(w.child<QLabel>("NummernText"), Qt::LeftButton);
        QCOMPARE(w.fake.shell.opened, QStringList{w.ini()});
        QVERIFY(QFile::remove(w.ini()));
        QTest::mouseClick(w.child<QLabel>("NummernText"), Qt::LeftButton);
        QCOMPARE(w.fake.prompts.texts(),
                 QStringList{"Die angegebene Datei wurde nicht gefunden !"});
    }

    // Tab and arrows pass over the charges, which take no editor; an editor shows the cell
    // without its padding, holds to its mask and lets no frame marker in.
    void keysNeverReachTheChargesAndEditorsHoldToTheirMasks() {
        Window w;
        QVERIFY(w.startWith({tableLine("1", "2", "3", "12.50", "r"),
                             tableLine("4", "", "", "", "[___ vom Server")}));
        QTableView* grid = w.grid();
        const std::pair<Qt::Key, QModelIndex> steps[] = {{Qt::Key_Tab, w.at(0, Alarm)},
                                                         {Qt::Key_Tab, w.at(0, Emergency)},
                                                         {Qt::Key_Tab, w.at(0, Remark)},
                                                         {Qt::Key_Left, w.at(0, Emergency)}};
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(grid, key);
            QCOMPARE(grid->currentIndex(), expected);
        }
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualRect(w.at(0, Charges)).center());
        QVERIFY(!w.editorAt(0, Charges));
        QCOMPARE(grid->currentIndex(), w.at(0, Emergency));
        grid->edit(w.at(1, Number));
        QVERIFY(w.editorAt(1, Number));
        QCOMPARE(w.editorAt(1, Number)->text(), QStringLiteral("4"));
        QTest::keyClick(w.editorAt(1, Number), Qt::Key_Escape);
        QVERIFY(w.typeInto(0, Alarm, "12x 3"));
        QVERIFY(w.typeInto(0, Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.model().rows()[0],
                 (Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));
        // No frame marker typed or pasted; the server's own may stay.
        QVERIFY(w.typeInto(1, Number, "a{_ENDE__}b[___c"));
        QVERIFY(w.typeInto(1, Remark, "", false));
        QLineEdit* editor = w.editorAt(1, Remark);
        editor->end(false);
        for (const char* paste : {"!", " {_ENDE__}", "[___"})
            editor->insert(QString::fromLatin1(paste));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(w.model().rows()[1][Number], QByteArray("a{_ENDE__b[__c"));
        QCOMPARE(w.model().rows()[1][Remark], QByteArray("[___ vom Server!"));
        // No line break; the server's letters may go or move, but none comes (back).
        EditMaskValidator alarm(*NummernGridGetEditMask(Alarm), "12ab");
        auto valid = [pos = 0](const QValidator& v, QString text) mutable {
            return v.validate(text, pos) == QValidator::Acceptable;
        };
        QVERIFY(!valid(EditMaskValidator(*NummernGridGetEditMask(Remark), ""), "a\nb"));
        QVERIFY(valid(alarm, "912a") && !valid(alarm, "12abc") && !valid(alarm, "912b"));
    }

    // Each table puts the keyboard on its first number; Enter or typing opens the editor, Escape
    // leaves the cell as it was, Ctrl+S saves with what the editor holds.
    void theGridWorksFromTheKeyboard() {
        Window w;
        QVERIFY(w.startWith({tableLine("4711", "", "", "", "alt"), tableLine("20")}));
        QTableView* grid = w.grid();
        QCOMPARE(grid->currentIndex(), w.at(0, Number));
        grid->setCurrentIndex(w.at(1, Remark));
        w.form->NummernGridDblClick(1); // sorted by the number
        QCOMPARE(grid->currentIndex(), w.at(0, Number));
        const auto editor = [&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); };
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(editor() ? editor()->text() : "no editor", QStringLiteral("20"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_Tab);
        QTest::keyClick(grid, Qt::Key_9);
        QCOMPARE(editor()->text(), QStringLiteral("9"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor());
        QCOMPARE(w.model().rows()[0][Alarm], pad("", 20));
        QTest::keyClicks(grid, "5");
        QTest::keyClick(editor(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(w.fake.prompts.texts(), QStringList{kSaveQuestion});
        QCOMPARE(w.sent(),
                 QList<QByteArray>{sdat({record("20", "5"), record("4711", "", "", "alt")})});
    }

    // Sent with the open editor's text, the window going to the tray; refused, the window
    // stays up with what was typed, and the program runs.
    void savingFromTheWindow_data() {
        QTest::addColumn<int>("action"); // Speichern, the close box, quit from the tray
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("box");
        const QString twin = QStringLiteral("Eintrag Ruf/Zi.Nummer ->  20 gibt es bereits.! ");
        QTest::newRow("Speichern") << 0 << "4712" << kSaveQuestion;
        QTest::newRow("close, twin") << 1 << "20" << twin;
        QTest::newRow("close, no link")
            << 1 << "4712"
            << "Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht gespeichert.";
        QTest::newRow("quit, twin") << 2 << "20" << twin;
    }
    void savingFromTheWindow() {
        QFETCH(int, action);
        QFETCH(QString, number);
        QFETCH(QString, box);
        Window w;
        QVERIFY(w.startWith({tableLine("4711", "", "", "0.00"), tableLine("20")}));
        QVERIFY(w.typeInto(0, Number, number));
        QVERIFY(w.typeInto(0, Remark, "neu", false));
        if (box.startsWith(QStringLiteral("Keine Verbindung")))
            w.dropLink();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        if (action == 2)
            w.form->hide();
        const std::function<void()> actions[] = {[&] { w.child<QPushButton>("Button1")->click(); },
                                                 [&] { w.form->close(); },
                                                 [&] { w.form->B1Click(); }};
        actions[action]();
        QCOMPARE(w.inTray(), box == kSaveQuestion);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(w.fake.prompts.shown.value(action == 2 ? 1 : 0).text, box);
        if (box == kSaveQuestion)
            QCOMPARE(w.sent(),
                     QList<QByteArray>{sdat({record("4712", "", "", "neu"), record("20")})});
        else
            QCOMPARE(trimmed(w.model().cell(0, Remark)), QByteArray("neu"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"

// The window's wiring and the grid as the operator uses it; the objects behind have suites.
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"
#include "table/EditMask.h"

#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWindow>
#include <cerrno>
#include <functional>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace fixtures;
using namespace table;
using namespace window_test;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Where the window was left, and its size limits, mean the outer window, frame included,
    // as earlier installations stored them.
    void placementIsTheOuterWindow() {
        Window w;
        const QStringList names{"Left", "Top", "Height", "Width"};
        const auto stored = [&w, &names](int i) -> QVariant& {
            return w.fake.store.values["Position/" + names[i]];
        };
        for (int i = 0; i < 4; ++i)
            stored(i) = QVariantList{30, 40, 300, 700}[i];
        w.start();
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w.form->frameGeometry(), QRect(30, 40, 700, 300));
        w.form->move(50, 60);
        w.form->SaveSettingsAndTable();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(stored(i), (QVariantList{50, 60, 300, 700}[i]));
        for (const QSize& asked : {QSize(100, 50), QSize(2000, 2000)}) {
            w.form->resize(asked.shrunkBy(w.form->windowHandle()->frameMargins()));
            QCOMPARE(w.form->frameGeometry().size(),
                     asked.boundedTo(QSize(800, 800)).expandedTo(QSize(600, 200)));
        }
    }

    // Only the tray's quit command ends the program, and only after OK.
    void quitAsksFirstSavesAndRemovesTheIcon() {
        Window w;
        const QString t = QString(126, QLatin1Char('x')) + QString::fromUtf8("\U0001F600");
        w.start({}, t);
        QCOMPARE(w.form->windowTitle(), "TorvanelClient  " + t);
        auto* tray = w.form->findChild<QSystemTrayIcon*>();
        // The tip holds 127 characters, and a character is never cut in half.
        QCOMPARE(tray->toolTip(), t.left(126));
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.fake.prompts.answers = {mb::IdCancel};
        tray->contextMenu()->actions().value(0)->trigger();
        QCOMPARE(w.fake.prompts.texts(), QStringList{"   TorvanelClient  Beenden ???  "});
        QCOMPARE(w.fake.prompts.shown[0].caption, QStringLiteral(" A C H T U N G ! "));
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::OkCancel | mb::IconHand | mb::DefButton2);
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{666, 200}}));
        QVERIFY(tray->isVisible() && ended.isEmpty() && w.fake.store.values.isEmpty());
        w.form->B1Click(); // OK: the settings saved, and the program ends
        QVERIFY(!w.fake.store.values.isEmpty() && ended.size() == 1);
    }

    // A refused save ends the program after an error; after quit the edits stay on screen.
    void quitOrErrorDuringASaveEndsOnlyAfterIt_data() {
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("refused");
        QTest::newRow("quit") << false << false;
        QTest::newRow("unhandled error") << true << false;
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

    // Told once, and every save still sends; an error saves and ends, and the watch only beeps.
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
        QStringList captions;
        for (const auto& box : w.fake.prompts.shown)
            captions << box.caption + '|' + QString::number(box.flags, 16); // told, asked, error
        QCOMPARE(captions,
                 (QStringList{" A C H T U N G |30", " A C H T U N G |121", " A C H T U N G |121",
                              "TorvanelClient|10", " A C H T U N G |121"}));
        // Naming the file, and the reason as the system gives it, in its language.
        const QString told = w.fake.prompts.shown[0].text;
        QVERIFY(told.contains(QDir::toNativeSeparators(w.ini())));
#ifdef Q_OS_WIN
        QVERIFY2(told.contains(qt_error_string(ERROR_PATH_NOT_FOUND)), qPrintable(told));
#else
        QVERIFY2(told.contains(qt_error_string(ENOTDIR)), qPrintable(told));
#endif
        QVERIFY(!w.form->findChild<QSystemTrayIcon*>()->isVisible());
        for (int tick = 0; tick < 6; ++tick)
            w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 5);
        QCOMPARE(w.fake.beeper.beeps.size(), 6);
    }

    // A watch prompt brings the window forward with the grid red.
    void whatTheServerSendsReachesTheWindow() {
        Window w;
        QVERIFY(QDir(w.fake.dataDir.path()).mkdir(QStringLiteral("Alarme.txt")));
        w.start();
        QCOMPARE(w.trayColour(), QStringLiteral("grey"));
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" Server 127.0.0.1 OK!"));
        QCOMPARE(w.trayColour(), QStringLiteral("blue"));
        // A journal that cannot be written is told once, and not as a watch prompt.
        QTRY_COMPARE(w.fake.prompts.shown.size(), 1);
        QVERIFY(w.fake.prompts.shown[0].text.startsWith(QStringLiteral("Das Alarmprotokoll")));
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::Ok | mb::IconExclamation);
        QVERIFY(w.load({tableLine("4711"), tableLine("0815")}));
        // A double-click on the number's title sorts by the number.
        QHeaderView* titles = w.grid()->horizontalHeader();
        QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {},
                           QPoint(titles->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(trimmed(w.model().cell(0, Number)), QByteArray("0815"));
        const QColor normal = w.gridColor();
        QStringList whileOpen;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            const bool forward =
                w.form->isVisible() && !w.form->isMinimized() && w.gridColor() == Qt::red &&
                QTest::qWaitFor([&] { return QApplication::activeWindow() == w.form.get(); });
            whileOpen << w.trayColour() + (forward ? " forward" : "");
        };
        w.form->showMinimized();
        w.form->hide();
        w.peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.fake.prompts.texts().mid(1), QStringList{"Alarm von Nst. 17"});
        QCOMPARE(w.gridColor(), normal);
        // The notice sized to its text and drawn whole over the logo: red letters where it lies.
        QLabel* notice = w.child<QLabel>("Label1");
        QCOMPARE(notice->text(), QStringLiteral(" ALARM = AUS !"));
        QVERIFY(notice->width() >= notice->sizeHint().width());
        const QImage panel = w.child<QWidget>("Panel1")->grab().toImage();
        int redOverLogo = 0;
        for (int x = notice->x(); x < w.child<QLabel>("Image1")->geometry().right(); ++x)
            for (int y = notice->y(); y <= notice->geometry().bottom(); ++y)
                redOverLogo += panel.pixelColor(x, y) == QColor(Qt::red);
        QVERIFY(redOverLogo > 20);
        w.peer.send(answer("\n\r\n\r"));
        QTRY_VERIFY(notice->isHidden());
        QCOMPARE(w.trayColour(), QStringLiteral("blue"));
        w.peer.send(tableFrame({tableLine("1")}));
        QTRY_COMPARE(w.model().rowCount(), 1);
        w.form->Timer1Timer();
        w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.texts().mid(1), (QStringList{"Alarm von Nst. 17", kSilent}));
        QCOMPARE(whileOpen, (QStringList{"red forward", "red forward"}));
        w.peer.send(answer("\n\r"));
        QTRY_COMPARE(w.trayColour(), QStringLiteral("blue"));
        w.dropLink();
        QCOMPARE(w.trayColour(), QStringLiteral("grey"));
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
        auto click = [&w] {
            QTest::mouseClick(w.child<QLabel>("NummernText"), Qt::LeftButton);
            return std::exchange(w.fake.prompts.shown, {}).value(0).text;
        };
        QCOMPARE(click(), QString());
        QCOMPARE(w.fake.shell.opened, QStringList{w.ini()});
        w.fake.shell.succeed = false;
        QCOMPARE(click(), QStringLiteral("Der angegebene Dateityp ist auf Ihrem Computer keiner "
                                         "Anwendung zugeordnet !"));
        QVERIFY(QFile::remove(w.ini()));
        QCOMPARE(click(), QStringLiteral("Die angegebene Datei wurde nicht gefunden !"));
        QVERIFY(w.fake.programDir.remove());
        QCOMPARE(click(), QStringLiteral("Der Pfad zur Datei wurde nicht gefunden !"));
    }

    void keysNeverReachTheChargesAndEditorsHoldToTheirMasks() {
        Window w;
        QVERIFY(w.startWith({tableLine("1", "2", "3", "12.50", "r"),
                             tableLine("4", "", "", "", "[___ vom Server")}));
        QTableView* grid = w.grid();
        // The headline, the grid and the panel stack up without overlap.
        QCOMPARE(w.child<QLabel>("NummernText")->geometry().bottom() + 1, grid->y());
        QCOMPARE(grid->geometry().bottom() + 1, w.child<QWidget>("Panel1")->y());
        const std::pair<Qt::Key, QModelIndex> steps[] = {
            {Qt::Key_Tab, w.at(0, Alarm)},      {Qt::Key_Tab, w.at(0, Emergency)},
            {Qt::Key_Tab, w.at(0, Remark)},     {Qt::Key_Tab, w.at(1, Number)},
            {Qt::Key_Backtab, w.at(0, Remark)}, {Qt::Key_Left, w.at(0, Emergency)}};
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(grid, key);
            QCOMPARE(grid->currentIndex(), expected);
        }
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualRect(w.at(0, Charges)).center());
        QVERIFY(!w.editorAt(0, Charges));
        QCOMPARE(grid->currentIndex(), w.at(0, Emergency));
        // The charges are drawn as dark as any other text, not greyed out.
        const QImage image = grid->viewport()->grab().toImage();
        const auto darkest = [&](Field f) {
            int dark = 255;
            const QRect cell = grid->visualRect(w.at(0, f)) & image.rect();
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    dark = qMin(dark, qGray(image.pixel(x, y)));
            return dark;
        };
        QVERIFY2(darkest(Charges) <= darkest(Alarm) + 30, "charges drawn grey");
        // An editor shows the cell without the blanks that pad it to its width, its free
        // positions drawn as underscores while its text stays as it was.
        grid->edit(w.at(1, Number));
        QLineEdit* editor = w.editorAt(1, Number);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("4"));
        const QImage drawn = editor->grab().toImage();
        int marks = 0;
        for (int x = drawn.width() / 2; x < drawn.width(); ++x)
            for (int y = 0; y < drawn.height(); ++y)
                marks += drawn.pixel(x, y) != drawn.pixel(drawn.width() - 1, 0);
        QVERIFY(marks > 10);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(w.typeInto(0, Alarm, "12x 3"));
        QVERIFY(w.typeInto(0, Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.model().rows()[0],
                 (Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));
        // No frame marker typed or pasted; the server's own may stay.
        QVERIFY(w.typeInto(1, Number, "a{_ENDE__}b[___c"));
        QVERIFY(w.typeInto(1, Remark, "", false));
        editor = w.editorAt(1, Remark);
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
        QVERIFY(valid(EditMaskValidator(*NummernGridGetEditMask(Alarm), "a1b"), "b1a"));
    }

    // Each table puts the keyboard on its first number; Enter or typing opens the editor,
    // Escape leaves the cell as it was, Ctrl+S saves with what the editor holds.
    void theGridWorksFromTheKeyboard() {
        Window w;
        QVERIFY(w.startWith({tableLine("4711", "", "", "", "alt"), tableLine("20")}));
        QTableView* grid = w.grid();
        QCOMPARE(grid->currentIndex(), w.at(0, Number));
        grid->setCurrentIndex(w.at(1, Remark));
        w.form->NummernGridDblClick(1);
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

    // A title that does not fit its designed width widens its column; the window keeps its size.
    void titlesAreReadWhole() {
        Window w;
        w.start();
        w.showActive();
        QHeaderView* titles = w.grid()->horizontalHeader();
        QHeaderView* labels = w.grid()->verticalHeader();
        QFont large = titles->font();
        large.setPixelSize(24);
        titles->setFont(large);
        labels->setFont(large);
        const QSize size = w.form->size();
        QVERIFY(w.load(QList<QByteArray>(120, tableLine("4711"))));
        QVERIFY(labels->fontMetrics().horizontalAdvance("Verb. 120") < labels->width());
        for (int c = 0; c < FieldCount; ++c) {
            const QString title = NummernModel::columnTitle(Field(c));
            QVERIFY2(titles->fontMetrics().horizontalAdvance(title) < titles->sectionSize(c),
                     qPrintable(title));
        }
        QCOMPARE(titles->sectionSize(Remark), 288);
        QCOMPARE(w.form->size(), size);
    }

    // Sent with the open editor's text; refused, the window stays up and the program runs.
    void savingFromTheWindow_data() {
        QTest::addColumn<int>("action"); // Speichern, the close box, quit from the tray
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("toTray");
        QTest::addColumn<QString>("box");
        const QByteArray off = "[ALLGEMEIN]\nInSysTry=0\n";
        const QString twin = QStringLiteral("Eintrag Ruf/Zi.Nummer ->  20 gibt es bereits.! ");
        const QString noLink = QStringLiteral(
            "Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht gespeichert.");
        QTest::newRow("Speichern") << 0 << QByteArray() << "4712" << true << kSaveQuestion;
        QTest::newRow("Speichern, tray option off") << 0 << off << "4712" << false << kSaveQuestion;
        QTest::newRow("Speichern, twin") << 0 << QByteArray() << "20" << false << twin;
        QTest::newRow("close, tray option off") << 1 << off << "4712" << true << kSaveQuestion;
        QTest::newRow("close, twin") << 1 << QByteArray() << "20" << false << twin;
        QTest::newRow("close, no link") << 1 << QByteArray() << "4712" << false << noLink;
        QTest::newRow("quit, twin") << 2 << QByteArray() << "20" << false << twin;
    }
    void savingFromTheWindow() {
        QFETCH(int, action);
        QFETCH(QByteArray, settings);
        QFETCH(QString, number);
        QFETCH(QString, box);
        Window w;
        QVERIFY(w.startWith({tableLine("4711", "", "", "0.00"), tableLine("20")}, settings));
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
        QTEST(w.inTray(), "toTray");
        QCOMPARE(ended.count(), 0);
        QCOMPARE(w.fake.prompts.shown.value(action == 2 ? 1 : 0).text, box);
        if (box == kSaveQuestion)
            QCOMPARE(w.sent(),
                     QList<QByteArray>{sdat({record("4712", "", "", "neu"), record("20")})});
        else // refused: what was typed is still there
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

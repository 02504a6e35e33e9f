// The window's wiring and the grid as the operator uses it; the objects behind have suites.
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"
#include "table/EditMask.h"

#include <QAccessible>
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
using namespace window_test;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Where the window was left, and its size limits, mean the outer window, frame included,
    // as earlier installations stored them.
    void placementIsTheOuterWindow() {
        Window w;
        const QVariantList stored{30, 40, 300, 700}; // left, top, height, width
        const char* const names[] = {"Left", "Top", "Height", "Width"};
        for (int i = 0; i < 4; ++i)
            w.fake.store.values.insert(QStringLiteral("Position/") + names[i], stored[i]);
        w.start();
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w.form->frameGeometry(), QRect(30, 40, 700, 300));
        QVERIFY(w.form->size() != QSize(700, 300));
        w.form->move(50, 60);
        w.form->SaveSettingsAndTable();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(w.fake.store.values.value(QStringLiteral("Position/") + names[i]),
                     (QVariantList{50, 60, 300, 700}[i]));
        const QMargins frame = w.form->windowHandle()->frameMargins();
        for (const QSize& asked : {QSize(100, 50), QSize(2000, 2000)}) {
            w.form->resize(asked.shrunkBy(frame));
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
        const QByteArray settings = readAll(w.ini());
        w.fake.prompts.answers = {mb::IdCancel};
        tray->contextMenu()->actions().value(0)->trigger();
        QCOMPARE(w.fake.prompts.texts(), QStringList{"   TorvanelClient  Beenden ???  "});
        QCOMPARE(w.fake.prompts.shown[0].caption, QStringLiteral(" A C H T U N G ! "));
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::OkCancel | mb::IconHand | mb::DefButton2);
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{666, 200}}));
        QVERIFY(tray->isVisible() && ended.isEmpty() && w.fake.store.values.isEmpty());
        QCOMPARE(readAll(w.ini()), settings);
        w.form->B1Click(); // OK
        QCOMPARE(w.fake.store.values.value("Position/Width" + t), QVariant(600));
        QVERIFY(!tray->isVisible());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(w.fake.sound.played, 0); // the alarm sound is for watch prompts only
    }

    void quitOrErrorDuringASaveEndsOnlyAfterIt_data() {
        QTest::addColumn<bool>("error");
        QTest::newRow("quit") << false;
        QTest::newRow("unhandled error") << true;
    }
    void quitOrErrorDuringASaveEndsOnlyAfterIt() {
        QFETCH(bool, error);
        Window w;
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("4711")}));
        QVERIFY(w.typeInto(0, table::Remark, "neu"));
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            error ? w.form->AppException(QStringLiteral("kaputt")) : w.form->B1Click();
            QCOMPARE(ended.count(), 0);
        };
        QVERIFY(w.form->SaveSettingsAndTable());
        QCOMPARE(ended.count(), 1);
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
            const QByteArray remark = QByteArray::number(i);
            QVERIFY(w.typeInto(0, table::Remark, remark));
            saves[i]();
            QCOMPARE(w.sent(), QList<QByteArray>{sdat({record("4711", "", "", remark)})});
            QCOMPARE(ended.count(), i == 2 ? 1 : 0);
        }
        QStringList captions;
        for (const auto& box : w.fake.prompts.shown)
            captions << box.caption;
        QCOMPARE(captions, (QStringList{" A C H T U N G ", " A C H T U N G ", " A C H T U N G ",
                                        "TorvanelClient", " A C H T U N G "}));
        const auto& told = w.fake.prompts.shown[0];
        QVERIFY(told.text.contains(QDir::toNativeSeparators(w.ini())));
        QCOMPARE(told.flags, mb::Ok | mb::IconExclamation);
        // The reason as the system gives it, in its language.
#ifdef Q_OS_WIN
        const int notAFolder = ERROR_PATH_NOT_FOUND;
#else
        const int notAFolder = ENOTDIR;
#endif
        QVERIFY2(told.text.contains(qt_error_string(notAFolder)), qPrintable(told.text));
        QCOMPARE(w.fake.prompts.shown[3].flags, mb::Ok | mb::IconHand);
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
        QCOMPARE(table::trimmed(w.model().cell(0, table::Number)), QByteArray("0815"));
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
        QCOMPARE(w.label("Label1"), QStringLiteral(" ALARM = AUS !"));
        // The notice is drawn whole over the logo: its red letters show where the logo lies.
        QLabel* notice = w.child<QLabel>("Label1");
        // Read out by its text, which tells the change.
        QCOMPARE(QAccessible::queryAccessibleInterface(notice)->text(QAccessible::Name),
                 w.label("Label1"));
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
        QCOMPARE(w.fake.sound.played, 2);
        w.peer.send(answer("\n\r"));
        QTRY_COMPARE(w.trayColour(), QStringLiteral("blue"));
        w.peer.socket->disconnectFromHost();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
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
        w.peer.socket->disconnectFromHost();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
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
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("1", "2", "3", "12.50", "r"),
                        tableLine("4", "", "", "", "[___ vom Server")}));
        QTableView* grid = w.grid();
        // The headline, the grid and the panel stack up without overlap.
        QCOMPARE(w.child<QLabel>("NummernText")->geometry().bottom() + 1, grid->y());
        QCOMPARE(grid->geometry().bottom() + 1, w.child<QWidget>("Panel1")->y());
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
        // Its free positions are drawn as underscores, its text stays as it was.
        const QImage drawn = editor->grab().toImage();
        int marks = 0;
        for (int x = drawn.width() / 2; x < drawn.width(); ++x)
            for (int y = 0; y < drawn.height(); ++y)
                marks += drawn.pixel(x, y) != drawn.pixel(drawn.width() - 1, 0);
        QVERIFY(marks > 10);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(w.typeInto(0, table::Alarm, "12x 3"));
        QVERIFY(w.typeInto(0, table::Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, table::Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.model().rows()[0],
                 (table::Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));
        // No frame marker typed or pasted; the server's own may stay.
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

        // No line break; the server's letters may go or move, but none comes (back).
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

    // Each table puts the keyboard on its first number; Enter or typing opens the editor,
    // Escape leaves the cell as it was, Ctrl+S saves with what the editor holds.
    void theGridWorksFromTheKeyboard() {
        Window w;
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("4711", "", "", "", "alt"), tableLine("20")}));
        QTableView* grid = w.grid();
        QCOMPARE(grid->currentIndex(), w.at(0, table::Number));
        grid->setCurrentIndex(w.at(1, table::Remark));
        w.form->NummernGridDblClick(1);
        QCOMPARE(grid->currentIndex(), w.at(0, table::Number));
        const auto editor = [&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); };
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(editor());
        QCOMPARE(editor()->text(), QStringLiteral("20"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_Tab);
        QTest::keyClick(grid, Qt::Key_9);
        QCOMPARE(editor()->text(), QStringLiteral("9"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor());
        QCOMPARE(w.model().rows()[0][table::Alarm], pad("", 20));
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
        for (int c = 0; c < table::FieldCount; ++c) {
            const QString title = NummernModel::columnTitle(table::Field(c));
            QVERIFY2(titles->fontMetrics().horizontalAdvance(title) < titles->sectionSize(c),
                     qPrintable(title));
        }
        QCOMPARE(titles->sectionSize(table::Remark), 288);
        QCOMPARE(w.form->size(), size);
    }

    // Sent with the open editor's text; refused, the window stays up and the program runs.
    void savingFromTheWindow_data() {
        QTest::addColumn<int>("action");
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
        QFETCH(bool, toTray);
        QFETCH(QString, box);
        const bool linkDown = box.startsWith(QStringLiteral("Keine Verbindung"));
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
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"

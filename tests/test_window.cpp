// The window: its layout and the wiring of the lifecycle handlers, the link, the table and
// the watch. The objects behind it have suites of their own.
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"

#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWindow>
#include <cerrno>
#include <functional>
#include <stdexcept>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace fixtures;
using namespace window_test;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void windowAsDesignedAndClosingGoesToTheTray() {
        Window w;
        w.start({}, QStringLiteral("Haus 2"));
        TNummernForm& form = *w.form;
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("TorvanelClient  Haus 2"));
        QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        // Sizes and limits are the outer window's, frame included.
        QCOMPARE(form.frameGeometry().size(), QSize(600, 200));
        const QMargins frame = form.windowHandle()->frameMargins();
        QVERIFY(!frame.isNull());
        auto* headline = w.child<QLabel>("NummernText");
        auto* panel = w.child<QWidget>("Panel1");
        for (const QSize& asked : {QSize(100, 50), QSize(700, 500), QSize(2000, 2000)}) {
            form.resize(asked.shrunkBy(frame));
            QCoreApplication::processEvents();
            QCOMPARE(form.frameGeometry().width(), qBound(600, asked.width(), 800));
            QCOMPARE(form.frameGeometry().height(), qBound(200, asked.height(), 800));
            QCOMPARE(panel->height(), 40);
            QCOMPARE(headline->height(), 24);
            QCOMPARE(headline->geometry().bottom() + 1, w.grid()->y());
            QCOMPARE(w.grid()->geometry().bottom() + 1, panel->y());
            QCOMPARE(panel->geometry().bottom() + 1, form.height());
        }
        QCOMPARE(w.child<QPushButton>("Button1")->geometry(), QRect(221, 2, 130, 25));

        // The parts as designed: what the operator reads, and what he cannot drag or click.
        QCOMPARE(form.font().family(), QStringLiteral("MS Sans Serif"));
        QVERIFY(form.autoFillBackground() && form.backgroundRole() == QPalette::Button);
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(headline->text(), QStringLiteral("Rufnummern Zuordnen"));
        QCOMPARE(headline->alignment(), Qt::AlignCenter);
        QCOMPARE(headline->frameStyle(), QFrame::Panel | QFrame::Sunken);
        QCOMPARE(headline->font().pixelSize(), 16);
        auto* alarm = w.child<QLabel>("Label1");
        QCOMPARE(alarm->pos(), QPoint(424, 8));
        QVERIFY(alarm->font().bold() && alarm->font().pixelSize() == 16);
        QCOMPARE(w.child<QLabel>("Label2")->pos(), QPoint(16, 16));
        auto* logo = w.child<QLabel>("Image1");
        QCOMPARE(logo->geometry(), QRect(383, 2, 156, 25));
        QCOMPARE(logo->pixmap().size(), QSize(170, 25));
        QCOMPARE(logo->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QVERIFY(w.peer.waitForClient());
        w.peer.send(answer("\n\r", "[___test]"));
        QTRY_COMPARE(alarm->text(), QStringLiteral(" ALARM = AUS !"));
        QVERIFY(alarm->width() >= alarm->sizeHint().width());
        QTableView* grid = w.grid();
        QVERIFY(!grid->isCornerButtonEnabled() && !grid->wordWrap());
        QCOMPARE(grid->textElideMode(), Qt::ElideNone);
        for (QHeaderView* header : {grid->horizontalHeader(), grid->verticalHeader()}) {
            QCOMPARE(header->sectionResizeMode(0), QHeaderView::Fixed);
            QCOMPARE(header->defaultAlignment(), Qt::AlignLeft | Qt::AlignVCenter);
            QVERIFY(!header->highlightSections());
        }
        QVERIFY(!grid->horizontalHeader()->sectionsClickable());
        QCOMPARE(grid->verticalHeader()->width(), 64);
        QCOMPARE(grid->rowHeight(0), 17);
        for (int c = 0; c < table::FieldCount; ++c)
            QCOMPARE(grid->columnWidth(c), (QList<int>{85, 130, 118, 68, 288}[c]));

        // Closing sends the window to the tray, or where the desktop has none, to the taskbar:
        // there must be a way back. The program goes on.
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        form.close();
        QCOMPARE(ended.count(), 0);
        const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
        QCOMPARE(form.isVisible(), !tray);
        QCOMPARE(form.isMinimized(), !tray);
    }

    // Where the window was left means the outer window, as earlier installations stored it.
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
    }

    void quitAsksAndOnlyOkSavesRemovesTheIconAndEnds() {
        Window w;
        const QString t = QString(126, QLatin1Char('x')) + QString::fromUtf8("\U0001F600");
        w.start({}, t);
        TNummernForm& form = *w.form;
        auto* tray = form.findChild<QSystemTrayIcon*>();
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        QVERIFY(tray->isVisible());
        // The tip holds 127 characters, and a character is never cut in half.
        QCOMPARE(tray->toolTip(), t.left(126));
        QCOMPARE(tray->contextMenu()->actions().value(0)->text(),
                 QStringLiteral("TorvanelClient Beenden"));
        const QByteArray settings = readAll(w.ini());
        w.fake.prompts.answers = {mb::IdCancel};
        tray->contextMenu()->actions().value(0)->trigger();
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        const auto& box = w.fake.prompts.shown.last();
        QCOMPARE(box.text, QStringLiteral("   TorvanelClient  Beenden ???  "));
        QCOMPARE(box.caption, QStringLiteral(" A C H T U N G ! "));
        QCOMPARE(box.flags, 0x111u);
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{666, 200}}));
        QVERIFY(tray->isVisible());
        QCOMPARE(ended.size(), 0);
        QCOMPARE(readAll(w.ini()), settings);
        QVERIFY(w.fake.store.values.isEmpty());
        form.B1Click(); // the script has run out: OK
        QCOMPARE(w.fake.store.values.value(QStringLiteral("Position/Width") + t), QVariant(600));
        QVERIFY(!tray->isVisible());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(w.fake.sound.played, 0); // the alarm sound is for watch prompts only
    }

    void aQuitWhoseSaveIsRefusedStaysWithTheEdits() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711"), tableLine("20")}));
        w.showActive();
        QVERIFY(w.typeInto(0, table::Number, "20"));
        w.form->hide();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.form->B1Click();
        QCOMPARE(ended.size(), 0);
        QVERIFY(w.form->isVisible());
        QVERIFY(w.form->findChild<QSystemTrayIcon*>()->isVisible());
        QCOMPARE(table::trimmed(w.model().cell(0, table::Number)), QByteArray("20"));
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

    // An error that no handler caught is shown, the save runs, and the program ends. A
    // settings file the save cannot write is told as at any other save: once a run, and not
    // as a second error.
    void unhandledErrorsEndTheProgramAfterTheSave() {
        Window w;
        w.start();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.form->AppException(QStringLiteral("Zugriffsverletzung"));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.prompts.shown.first().flags, mb::Ok | mb::IconHand);
        QVERIFY(!w.form->findChild<QSystemTrayIcon*>()->isVisible());
        // From now on the watch only beeps.
        for (int tick = 0; tick < 6; ++tick)
            w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.beeper.beeps.size(), 6);

        w.fake.prompts.shown.clear();
        writeAll(w.ini(), QByteArray("[UDPLink]\n\0", 11));
        w.form->AppException(QStringLiteral("kaputt"));
        w.form->AppException(QStringLiteral("kaputt"));
        QStringList captions;
        for (const auto& box : w.fake.prompts.shown)
            captions << box.caption;
        QCOMPARE(captions, (QStringList{"TorvanelClient", " A C H T U N G ", "TorvanelClient"}));
        QVERIFY(w.fake.prompts.shown[1].text.contains(QStringLiteral("Binärdaten")));
        QCOMPARE(ended.count(), 3);
    }

    // A settings file the client may not write is told once a run, by whichever save meets it
    // first; every save still sends the table, and only the quit ends the program.
    void aSettingsFileThatRefusesWritesIsToldOnceAndTheSaveGoesOn_data() {
        QTest::addColumn<bool>("folderIsAFile");
        QTest::newRow("binary zero in the file") << false;
        QTest::newRow("program folder below a file") << true;
    }
    void aSettingsFileThatRefusesWritesIsToldOnceAndTheSaveGoesOn() {
        QFETCH(bool, folderIsAFile);
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711")}));
        // The port is known from the start; from now on the file cannot take the first-run
        // entries a save finds missing.
        const QString folder = w.fake.programDir.path();
        const auto removeFile = qScopeGuard([&] { QFile::remove(folder); });
        if (folderIsAFile) {
            QVERIFY(QDir(folder).removeRecursively());
            writeAll(folder, "");
        } else {
            writeAll(w.ini(), QByteArray("[UDPLink]\n\0", 11));
        }
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        const std::function<void()> saves[] = {[&] { w.form->close(); },
                                               [&] { w.child<QPushButton>("Button1")->click(); },
                                               [&] { w.form->B1Click(); }};
        for (int i = 0; i < 3; ++i) {
            w.showActive();
            const QByteArray remark = QByteArray::number(i);
            QVERIFY(w.typeInto(0, table::Remark, remark));
            saves[i]();
            QCOMPARE(w.sent(), QList<QByteArray>{sdat({record("4711", "", "", remark)})});
            QCOMPARE(ended.count(), i == 2 ? 1 : 0);
        }
        QList<ScriptedPrompts::Box> told;
        for (const auto& box : w.fake.prompts.shown)
            if (box.text.contains(QDir::toNativeSeparators(w.ini())))
                told << box;
        QCOMPARE(told.size(), 1);
        QCOMPARE(told[0].caption, QStringLiteral(" A C H T U N G "));
        QCOMPARE(told[0].flags, mb::Ok | mb::IconExclamation);
        // The reason as the system gives it, in its language.
#ifdef Q_OS_WIN
        const int notAFolder = ERROR_PATH_NOT_FOUND;
#else
        const int notAFolder = ENOTDIR;
#endif
        const QString why =
            folderIsAFile ? qt_error_string(notAFolder) : QStringLiteral("Binärdaten");
        QVERIFY2(told[0].text.contains(why), qPrintable(told[0].text));
    }

    void aWatchPromptBringsTheWindowForwardWithTheGridRed() {
        Window w;
        w.start();
        w.form->showMinimized();
        w.form->hide();
        const QColor normal = w.gridColor();
        QVERIFY(normal != QColor(Qt::red));
        bool shown = false;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            QCOMPARE(box.text, kSilent);
            shown = w.form->isVisible() && !w.form->isMinimized() && w.gridColor() == Qt::red &&
                    QTest::qWaitFor([&] { return QApplication::activeWindow() == w.form.get(); });
        };
        for (int tick = 0; tick < 5; ++tick)
            w.form->Timer1Timer();
        QVERIFY(shown);
        QCOMPARE(w.gridColor(), normal);
    }

    void whatTheServerSendsReachesTheStatusLineTheGridTheWatchAndTheTray() {
        Window w;
        w.start();
        QCOMPARE(w.trayColour(), QStringLiteral("grey"));
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" Server 127.0.0.1 OK!"));
        QCOMPARE(w.trayColour(), QStringLiteral("blue"));
        QVERIFY(w.load({tableLine("4711"), tableLine("0815")}));
        QCOMPARE(w.model().rowCount(), 2);
        // The alarm is on screen before any tick, with the tray icon red.
        QString trayWhileOpen;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            trayWhileOpen = w.trayColour();
        };
        w.peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.prompts.shown[0].text, QStringLiteral("Alarm von Nst. 17"));
        QCOMPARE(trayWhileOpen, QStringLiteral("red"));
        QCOMPARE(w.label("Label1"), QStringLiteral(" ALARM = AUS !"));
        // The notice is drawn over the logo: its red letters show where the logo lies.
        QLabel* notice = w.child<QLabel>("Label1");
        const QImage panel = w.child<QWidget>("Panel1")->grab().toImage();
        int redOverLogo = 0;
        for (int x = notice->x(); x < w.child<QLabel>("Image1")->geometry().right(); ++x)
            for (int y = notice->y(); y <= notice->geometry().bottom(); ++y)
                redOverLogo += panel.pixelColor(x, y) == QColor(Qt::red);
        QVERIFY(redOverLogo > 20);

        w.peer.send(answer("\n\r\n\r"));
        QTRY_COMPARE(w.label("Label1"), QString());
        QVERIFY(notice->isHidden());
        QCOMPARE(w.trayColour(), QStringLiteral("blue"));
        w.peer.send(tableFrame({tableLine("1")}));
        QTRY_COMPARE(w.model().rowCount(), 1);
        w.form->Timer1Timer();
        w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        QCOMPARE(w.fake.prompts.shown[1].text, kSilent);
        QCOMPARE(w.trayColour(), QStringLiteral("red"));
        QCOMPARE(w.fake.sound.played, 2);
        w.peer.send(answer("\n\r"));
        QTRY_COMPARE(w.trayColour(), QStringLiteral("blue"));
        w.peer.socket->disconnectFromHost();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
        QCOMPARE(w.trayColour(), QStringLiteral("grey"));
    }

    void aJournalThatCannotBeWrittenIsToldOnce() {
        Window w;
        QVERIFY(QDir(w.fake.dataDir.path()).mkdir(QStringLiteral("Alarme.txt")));
        w.start();
        QTRY_COMPARE(w.fake.prompts.shown.size(), 1);
        QVERIFY(w.fake.prompts.shown[0].text.startsWith(QStringLiteral("Das Alarmprotokoll")));
        QCOMPARE(w.fake.prompts.shown[0].flags, mb::Ok | mb::IconExclamation);
        w.peer.send(answer("\n\r", "[___test]"));
        QTRY_COMPARE(w.label("Label1"), QStringLiteral(" ALARM = AUS !"));
        QCoreApplication::processEvents();
        QCOMPARE(w.fake.prompts.shown.size(), 1);
    }

    void leftClickShowsTheWindowAndAsksForTheTableOnlyOverALiveLink() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711")}));
        w.form->hide();
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
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"

// The window's wiring and the grid as the operator uses it; the objects behind have suites.
#include "Pictures.h"
#include "RufNum/NummernDelegate.h"
#include "RufNum/OuterPlacement.h"
#include "RufNum/TorvanelApplication.h"
#include "RufNum/Tray.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QMoveEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace fixtures;
using namespace table;
using namespace window_test;

namespace {
// The placement as the registry holds it.
QHash<QString, QVariant> placed(const QRect& r) {
    return {{"Position/Left", r.x()},
            {"Position/Top", r.y()},
            {"Position/Width", r.width()},
            {"Position/Height", r.height()}};
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Only the tray's quit command ends the program, and only after OK; its icon goes first.
    void quitAsksFirstAndSaves() {
        Window w;
        w.start();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.fake.prompts.answers = {mb::IdCancel};
        auto* tray = w.form->findChild<QSystemTrayIcon*>();
        tray->contextMenu()->actions().last()->trigger();
        QCOMPARE(w.fake.prompts.texts(), QStringList{"   TorvanelClient  Beenden ???  "});
        QCOMPARE(w.fake.beeper.beeps, (QList<QPair<int, int>>{{666, 200}}));
        QCOMPARE(ended.size(), 0);
        QVERIFY(w.fake.store.values.isEmpty());
        w.form->client().B1Click(); // OK: the settings saved, and the program ends
        QVERIFY(!w.fake.store.values.isEmpty());
        QCOMPARE(ended.size(), 1);
        QVERIFY(!tray->isVisible()); // gone at once, not when the event loop has ended
    }

    // Told once each, naming the file, and every save still sends. Closed, the window goes to
    // the tray where there is one, and is only made small where there is none: a hidden window
    // could not be got back.
    void filesThatRefuseWritesAreToldOnceAndTheSaveGoesOn() {
        Window w;
        const QString data = w.fake.dataDir.path(), folder = w.fake.programDir.path();
        const auto block = [](const QString& dir) {
            return QDir(dir).removeRecursively() && QFile(dir).open(QIODevice::WriteOnly);
        };
        const auto unblock = qScopeGuard([&] { QFile::remove(data), QFile::remove(folder); });
        QVERIFY(block(data));
        QVERIFY(w.startWith({tableLine("4711")}));
        QVERIFY(block(folder));
        for (int i = 0; i < 2; ++i) {
            w.form->show();
            QVERIFY(w.typeInto(0, Remark, QString::number(i)));
            w.form->close();
            QCOMPARE(w.form->isVisible(), !QSystemTrayIcon::isSystemTrayAvailable());
            QCOMPARE(w.sent(),
                     QList<QByteArray>{sdat({record("4711", "", "", QByteArray::number(i))})});
        }
        QCOMPARE(w.fake.prompts.texts().filter(QDir::toNativeSeparators(w.ini())).size(), 1);
        QCOMPARE(w.fake.prompts.texts().filter("Das Alarmprotokoll kann nicht").size(), 1);
    }

    // An alarm's prompt brings the window forward with the grid red; the notice stays until the
    // server clears it.
    void whatTheServerSendsReachesTheWindow() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711"), tableLine("0815")}));
        int forward = 0;
        w.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            forward +=
                w.form->isVisible() && !w.form->isMinimized() &&
                w.grid()->palette().color(QPalette::Base) == Qt::red &&
                QTest::qWaitFor([&] { return QApplication::activeWindow() == w.form.get(); });
        };
        w.form->showMinimized();
        w.form->hide();
        w.peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.fake.prompts.texts(), QStringList{"Alarm von Nst. 17"});
        QLabel* notice = w.child<QLabel>("Label1");
        QCOMPARE(notice->text(), QStringLiteral(" ALARM = AUS !"));
        QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(Qt::red));
        Tray* tray = w.form->findChild<Tray*>();
        QCOMPARE(tray->state(), Tray::State::Alarm);
        w.peer.send(answer("\n\r\n\r"));
        QTRY_VERIFY(notice->isHidden());
        QCOMPARE(tray->state(), Tray::State::Normal);
        QCOMPARE(forward, 1);
        for (int tick = 0; tick < 5; ++tick) // unanswered
            w.form->client().watch().Timer1Timer();
        QCOMPARE(tray->state(), Tray::State::Alarm);
    }

    // A left click shows the window and asks for the table over a live link; the headline
    // opens the settings file.
    void trayIconAndHeadline() {
        Window w;
        w.start();
        QVERIFY(w.load({tableLine("4711")}));
        QCOMPARE(w.sent(), QList<QByteArray>{});
        QVERIFY(w.form->isVisible());
        auto* tray = w.form->findChild<Tray*>();
        QCOMPARE(tray->state(), Tray::State::Normal);
        w.peer.socket->disconnectFromHost();
        QTRY_COMPARE(w.child<QLabel>("Label2")->text(), QStringLiteral(" kein Server! 127.0.0.1"));
        QCOMPARE(tray->state(), Tray::State::Offline);
        w.form->showMinimized();
        w.clickTray();
        QVERIFY(!w.form->isMinimized());
        QCOMPARE(w.peer.connections, 1);
        QCOMPARE(w.child<QLabel>("NummernText")->alignment(), Qt::AlignCenter);
        QTest::mouseClick(w.child<QLabel>("NummernText"), Qt::LeftButton);
        QCOMPARE(w.fake.shell.opened, QStringList{w.ini()});
        QCOMPARE(w.fake.prompts.texts(), QStringList{});
    }

    // Why the settings file did not open, as far as the file or the desktop tells.
    void theHeadlineSaysWhyTheSettingsFileDidNotOpen_data() {
        QTest::addColumn<QString>("told");
        QTest::newRow("no application")
            << "Der angegebene Dateityp ist auf Ihrem Computer keiner Anwendung zugeordnet !";
        QTest::newRow("the desktop failed") << "Datei konnte nicht geöffnet werden !";
        QTest::newRow("file gone") << "Die angegebene Datei wurde nicht gefunden !";
        QTest::newRow("a folder in its place") << "Datei konnte nicht geöffnet werden !";
        QTest::newRow("its folder gone") << "Der Pfad zur Datei wurde nicht gefunden !";
    }
    void theHeadlineSaysWhyTheSettingsFileDidNotOpen() {
        QFETCH(QString, told);
        const QByteArray how = QTest::currentDataTag();
        const bool there = how == "no application" || how == "the desktop failed";
        Window w;
        w.start();
        w.fake.shell.result =
            how == "no application" ? ShellOpen::Result::NoApplication : ShellOpen::Result::Failed;
        QVERIFY(there || QFile::remove(w.ini()));
        QVERIFY(how != "a folder in its place" || QDir().mkdir(w.ini()));
        QVERIFY(how != "its folder gone" || w.fake.programDir.remove());
        QTest::mouseClick(w.child<QLabel>("NummernText"), Qt::LeftButton);
        QCOMPARE(w.fake.prompts.texts(), QStringList{told});
        QCOMPARE(w.fake.shell.opened.size(), there ? 1 : 0);
    }

    // Red for an alarm or a silent server, pale grey without a link, white kept in both; the
    // tip is the instance's text, cut at 127 without splitting a character.
    void theTrayIconTellsTheStateAtAGlance() {
        QImage picture(2, 1, QImage::Format_ARGB32);
        picture.setPixelColor(0, 0, QColor(0, 0, 255));
        picture.setPixelColor(1, 0, Qt::white);
        Tray tray(QIcon(QPixmap::fromImage(picture)), QString(126, 'x') + "\U0001F600");
        auto* icon = tray.findChild<QSystemTrayIcon*>();
        QCOMPARE(icon->toolTip(), QString(126, 'x'));
        QList<QColor> shown;
        for (Tray::State state : {Tray::State::Offline, Tray::State::Alarm, Tray::State::Normal}) {
            tray.setState(state);
            const QImage i = icon->icon().pixmap(QSize(2, 1)).toImage();
            shown << i.pixelColor(0, 0) << i.pixelColor(1, 0);
        }
        QCOMPARE(shown, (QList<QColor>{QColor(120, 120, 120), Qt::white, QColor(255, 0, 0),
                                       Qt::white, QColor(0, 0, 255), Qt::white}));
        QSignalSpy restore(&tray, &Tray::restoreRequested);
        emit icon->activated(QSystemTrayIcon::Context); // the desktop opens the menu
        emit icon->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(restore.count(), 1);
        tray.RemoveTrayIcon();
        QVERIFY(!icon->isVisible());
    }

    // The stored placement means the outer window, frame included. Under a window manager the
    // frame is known only once the window is mapped, after the show. The window keeps the outer
    // size it was left in all the same, start after start, within limits that mean the outer
    // window too.
    void theOuterWindowStaysAsLeftFromStartToStart_data() {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("outer");
        QTest::newRow("as left") << QRect(30, 40, 700, 300) << QRect(30, 40, 700, 300);
        QTest::newRow("none stored") << QRect() << QRect(0, 0, 600, 200);
        QTest::newRow("too large") << QRect(10, 20, 900, 900) << QRect(10, 20, 800, 800);
    }
    void theOuterWindowStaysAsLeftFromStartToStart() {
        QFETCH(QRect, stored);
        QFETCH(QRect, outer);
        Window w;
        if (!stored.isNull())
            w.fake.store.values = placed(stored);
        for (int start = 1; start <= 3; ++start) {
            w.start();
            QCOMPARE(w.form->geometry(), outer); // no frame known yet
            QMargins frame;
            w.form->findChild<OuterPlacement*>()->setFrameLookup([&] { return frame; });
            w.form->show();
            w.form->move(outer.topLeft() + QPoint(5, 5)); // kept while no frame is known
            QTest::qWait(10);
            QCOMPARE(w.form->pos(), outer.topLeft() + QPoint(5, 5));
            frame = QMargins(1, 24, 1, 1);
            QMoveEvent mapped(w.form->pos(), w.form->pos());
            QCoreApplication::sendEvent(w.form.get(), &mapped);
            QCOMPARE(w.form->geometry(), outer.marginsRemoved(frame));
            w.form->client().SaveSettingsAndTable();
            QHash<QString, QVariant> saved = w.fake.store.values;
            saved.insert(placed(outer));
            QCOMPARE(w.fake.store.values, saved);
            w.form.reset();
        }
        w.start(); // and with the frame the desktop tells
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w.form->frameGeometry(), outer);
    }

    // The charges take no editor; an editor shows the cell without its padding, holds to its
    // mask and lets no frame marker in.
    void theChargesTakeNoEditorAndEditorsHoldToTheirMasks() {
        Window w;
        QVERIFY(w.startWith({tableLine("1", "2", "3", "12.50", "r"),
                             tableLine("4", "", "", "", "[___ vom Server")}));
        QVERIFY(!w.typeInto(0, Charges, "", false));
        QVERIFY(w.typeInto(1, Number, "", false)); // the editor open, nothing typed
        QCOMPARE(w.editorAt(1, Number)->text(), QStringLiteral("4"));
        QTest::keyClick(w.editorAt(1, Number), Qt::Key_Escape);
        QVERIFY(w.typeInto(0, Alarm, "10x 3"));
        QVERIFY(w.typeInto(0, Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, Emergency, "123456789012345678901"));
        QVERIFY(w.typeInto(0, Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.form->client().table().rows()[0],
                 (Cells{"!Zi. 12-b Empfang, ", "10 3", "12345678901234567890", "12.50 ", "a\x80"}));
        // No frame marker typed.
        QVERIFY(w.typeInto(1, Number, "a{_ENDE__}b[___c"));
        QCOMPARE(w.form->client().table().rows()[1][Number], QByteArray("a{_ENDE__b[__c"));
    }

    // Each table puts the keyboard on its first number; Enter or typing opens the editor, Escape
    // leaves the cell as it was, Ctrl+S saves with what the editor holds.
    void theGridWorksFromTheKeyboard() {
        Window w;
        QVERIFY(w.startWith({tableLine("20"), tableLine("4711", "", "", "", "alt")}));
        QTableView* grid = w.grid();
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
        QCOMPARE(w.form->client().table().rows()[0][Alarm], pad("", 20));
        QTest::keyClicks(grid, "5");
        QTest::keyClick(editor(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(w.fake.prompts.texts(), QStringList{"Änderung Speichern ?"});
        QCOMPARE(w.sent(),
                 QList<QByteArray>{sdat({record("20", "5"), record("4711", "", "", "alt")})});
    }

    // A screen reader hears a cell without the blanks that pad it, so a blank cell as nothing;
    // the leading blanks show, the editor still gets the whole field. The logo has a name. The
    // last title sorts too.
    void whatTheWindowShowsIsReadOutAsShown() {
        Window w;
        QVERIFY(w.startWith(
            {tableLine("  12", "", "", "", "Rezeption"), tableLine("101", "", "", "", "Aula")}));
        QAccessibleTableInterface* cells =
            QAccessible::queryAccessibleInterface(w.grid())->tableInterface();
        QVERIFY(cells);
        const auto heard = [&](Field field) {
            return cells->cellAt(0, field)->text(QAccessible::Name);
        };
        const QAbstractItemModel& grid = *w.grid()->model();
        QCOMPARE((QStringList{heard(Alarm), heard(Number), heard(Remark),
                              grid.headerData(Number, Qt::Horizontal).toString(),
                              grid.headerData(1, Qt::Vertical).toString(),
                              w.at(0, Number).data(Qt::DisplayRole).toString(),
                              w.at(0, Number).data(Qt::EditRole).toString(),
                              QAccessible::queryAccessibleInterface(w.child<QLabel>("Image1"))
                                  ->text(QAccessible::Name)}),
                 (QStringList{"", "12", "Rezeption", "Ruf/Zi.-Nummer", "Verb. 2", "  12",
                              QString::fromLatin1(pad("  12", 20)), "Logo"}));
        emit w.grid()->horizontalHeader()->sectionDoubleClicked(Remark);
        QCOMPARE(trimmed(w.form->client().table().cell(0, Number)), QByteArray("101"));
    }

    // An edit not yet sent stands out from the server's text: bold, on a ground of its own.
    void editedCellsAreDrawnApart() {
        Window w;
        QVERIFY(w.startWith({tableLine("1", "", "", "", "x"), tableLine("2", "", "", "", "y")}));
        QVERIFY(w.typeInto(0, Remark, "Rezeption"));
        const auto drawn = [&](int row) {
            QStyleOptionViewItem option;
            option.palette.setColor(QPalette::Text, Qt::red); // black on that ground all the same
            static_cast<NummernDelegate*>(w.grid()->itemDelegate())
                ->initStyleOption(&option, w.at(row, Remark));
            return QVariantList{option.font.bold(), option.backgroundBrush,
                                option.palette.color(QPalette::Text)};
        };
        QCOMPARE(drawn(0) + drawn(1),
                 (QVariantList{true, QBrush(QColor(255, 232, 150)), QColor(Qt::black), false,
                               QBrush(), QColor(Qt::red)}));
    }

    // The window as the operator sees it: a text too long for its column cut without dots,
    // an edit not yet sent in bold on a ground of its own, an open editor's free places drawn
    // as underscores after its text.
    void theWindowIsDrawnAsKept() {
#ifndef Q_OS_WIN                             // Wine's fonts are not Debian's
        QApplication::setCursorFlashTime(0); // a cursor that stays, not one caught mid-blink
        Window w;
        QVERIFY(w.startWith({tableLine("1", "", "", "", "Rezeption und Empfang im Erdgeschoss"),
                             tableLine("Zi. 12-b Empfang, 1", "", "", "", "y")}));
        QVERIFY(w.typeInto(1, Remark, "Bar"));
        QVERIFY(w.typeInto(0, Number, "47", false));
        QVERIFY(drawnAsKept(w.form->grab().toImage(), "window"));
#endif
    }

    // A table arriving while the operator types keeps what he typed, on its line, and his
    // place: the editor opens again where he was and takes the next keys.
    void aTableArrivingUnderAnOpenEditorKeepsTheOperatorsPlace() {
        Window w;
        QVERIFY(w.startWith({tableLine("102", "", "", "0.00"), tableLine("101")}));
        // Sorted by a double-click on the number's title.
        QHeaderView* titles = w.grid()->horizontalHeader();
        QTest::mouseDClick(
            titles->viewport(), Qt::LeftButton, {},
            QPoint(titles->sectionViewportPosition(Number) + 5, titles->height() / 2));
        QCOMPARE(trimmed(w.form->client().table().cell(0, Number)), QByteArray("101"));
        QVERIFY(w.typeInto(0, Remark, "Rez", false));
        w.peer.send(tableFrame({tableLine("102", "", "", "55.55"), tableLine("101")}));
        QTRY_COMPARE(trimmed(w.form->client().table().cell(0, Charges)), QByteArray("55.55"));
        // The server's order again: 101 is the second row.
        QLineEdit* editor = w.editorAt(1, Remark);
        QVERIFY(editor);
        QTest::keyClicks(editor, "eption");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(trimmed(w.form->client().table().cell(1, Remark)), QByteArray("Rezeption"));
        QVERIFY(w.form->client().table().isEdited(1, Remark));
        // With no editor open none opens, and the place stays, on the first line as on any.
        w.grid()->setCurrentIndex(w.at(0, Remark));
        w.peer.send(tableFrame({tableLine("102", "", "", "1.00"), tableLine("101")}));
        QTRY_COMPARE(trimmed(w.form->client().table().cell(0, Charges)), QByteArray("1.00"));
        QCOMPARE(w.editorAt(0, Remark), nullptr);
        QCOMPARE(w.grid()->currentIndex(), w.at(0, Remark));
    }

    // Refused, the window stays up with what was typed; sent with the open editor's text, the
    // window going to the tray.
    void savingFromTheWindow() {
        Window w;
        QVERIFY(w.startWith({tableLine("4711", "", "", "0.00"), tableLine("20")}));
        QVERIFY(w.typeInto(0, Number, "20"));
        QVERIFY(w.typeInto(0, Remark, "neu", false));
        w.form->close();
        QCOMPARE(w.fake.prompts.texts(),
                 QStringList{"Eintrag Ruf/Zi.Nummer ->  20 gibt es bereits.! "});
        QCOMPARE((QList<bool>{w.form->isVisible(), w.form->isMinimized()}),
                 (QList<bool>{true, false}));
        QCOMPARE(trimmed(w.form->client().table().cell(0, Remark)), QByteArray("neu"));
        QVERIFY(w.typeInto(0, Number, "4712"));
        QVERIFY(w.typeInto(0, Remark, "neu!", false));
        w.child<QPushButton>("Button1")->click();
        QVERIFY(!w.form->isVisible() || w.form->isMinimized());
        QCOMPARE(w.sent(), QList<QByteArray>{sdat({record("4712", "", "", "neu!"), record("20")})});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"

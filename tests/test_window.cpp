// The window: its layout, the grid's editors, and the wiring of the lifecycle handlers, the
// link, the table and the watch. The objects behind it have suites of their own.
#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "RufNum/RufNum.h"
#include "TableFixtures.h"
#include "app/TorvanelApplication.h"
#include "table/EditMask.h"
#include "table/NummernModel.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <memory>
#include <stdexcept>

using namespace fixtures;

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");
const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The client with its settings file pointing at a peer of the test on 127.0.0.1.
struct Window {
    FakeServices fake;
    LoopbackPeer peer;
    std::unique_ptr<TNummernForm> form;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void start(const QByteArray& moreSettings = {}, const QString& text = {}) {
        writeAll(ini(), "[UDPLink" + text.toUtf8() +
                            "]\nH_Port=" + QByteArray::number(peer.port()) + "\n" + moreSettings);
        form = std::make_unique<TNummernForm>(text, fake.services());
    }
    // Connected, the table asked for and loaded; the peer has seen nothing since.
    bool load(const QList<QByteArray>& lines) {
        if (!peer.waitForClient() ||
            !QTest::qWaitFor([this] { return peer.frames.contains(frames::tableRequest()); }))
            return false;
        peer.send(tableFrame(lines));
        if (!QTest::qWaitFor([&] { return model().rowCount() == lines.size(); }))
            return false;
        QTest::qWait(30); // requests already on their way
        peer.frames.clear();
        return true;
    }
    // Frames sent since the last call: a click on the tray icon asks for the table, and that
    // request marks the end.
    QList<QByteArray> sent() {
        form->TrayIconMessage(QSystemTrayIcon::Trigger);
        return peer.framesBefore(frames::tableRequest());
    }

    template <typename T> T* child(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QTableView* grid() const { return child<QTableView>("NummernGrid"); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    NummernModel& model() const { return *static_cast<NummernModel*>(grid()->model()); }
    QModelIndex at(int row, table::Field f) const { return model().index(row, f); }
    QColor gridColor() const { return grid()->palette().color(QPalette::Base); }
    bool inTray() const { return !form->isVisible() || form->isMinimized(); }

    // Types over the cell as the operator does. Key events carry only their text, as QTest
    // cannot spell characters beyond ASCII as keys.
    bool typeInto(int row, table::Field field, const QString& text, bool thenTab = true) {
        grid()->setCurrentIndex(at(row, field));
        grid()->edit(at(row, field));
        auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(at(row, field)));
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
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        grid()->setFocus();
    }
};

} // namespace

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
        QCOMPARE(form.size(), QSize(600, 200));
        auto* headline = w.child<QLabel>("NummernText");
        auto* panel = w.child<QWidget>("Panel1");
        for (const QSize& asked : {QSize(100, 50), QSize(700, 500), QSize(2000, 2000)}) {
            form.resize(asked);
            QCoreApplication::processEvents();
            QCOMPARE(form.width(), qBound(600, asked.width(), 800));
            QCOMPARE(form.height(), qBound(200, asked.height(), 800));
            QCOMPARE(panel->height(), 40);
            QCOMPARE(headline->height(), 24);
            QCOMPARE(headline->geometry().bottom() + 1, w.grid()->y());
            QCOMPARE(w.grid()->geometry().bottom() + 1, panel->y());
            QCOMPARE(panel->geometry().bottom() + 1, form.height());
        }
        QCOMPARE(w.child<QPushButton>("Button1")->geometry(), QRect(221, 2, 130, 25));

        // Closing sends the window to the tray, or where the desktop has none, to the taskbar:
        // there must be a way back. The program goes on.
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        form.close();
        QCOMPARE(ended.count(), 0);
        const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
        QCOMPARE(form.isVisible(), !tray);
        QCOMPARE(form.isMinimized(), !tray);
    }

    void keysNeverReachTheChargesAndEditorsHoldToTheirMasks() {
        Window w;
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("1", "2", "3", "12.50", "r"), tableLine("4")}));
        QTableView* grid = w.grid();
        grid->setCurrentIndex(w.at(0, table::Number));
        const std::pair<Qt::Key, QModelIndex> steps[] = {
            {Qt::Key_Tab, w.at(0, table::Alarm)},      {Qt::Key_Tab, w.at(0, table::Emergency)},
            {Qt::Key_Tab, w.at(0, table::Remark)},     {Qt::Key_Tab, w.at(1, table::Number)},
            {Qt::Key_Backtab, w.at(0, table::Remark)}, {Qt::Key_Left, w.at(0, table::Emergency)},
            {Qt::Key_Right, w.at(0, table::Remark)},   {Qt::Key_Down, w.at(1, table::Remark)},
            {Qt::Key_Home, w.at(1, table::Number)},    {Qt::Key_End, w.at(1, table::Remark)}};
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(grid, key);
            QCOMPARE(grid->currentIndex(), expected);
        }
        const QPoint charges = grid->visualRect(w.at(0, table::Charges)).center();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, charges);
        QVERIFY(!grid->indexWidget(w.at(0, table::Charges)));
        QCOMPARE(grid->currentIndex(), w.at(1, table::Remark));

        // The charges are drawn as dark as any other text, not greyed out.
        const QImage image = grid->viewport()->grab().toImage();
        int darkest[table::FieldCount] = {255, 255, 255, 255, 255};
        for (table::Field f : {table::Alarm, table::Charges})
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (grid->visualRect(w.at(0, f)).contains(x, y))
                        darkest[f] = qMin(darkest[f], qGray(image.pixel(x, y)));
        QVERIFY2(darkest[table::Charges] <= darkest[table::Alarm] + 30, "charges drawn grey");

        QVERIFY(w.typeInto(0, table::Alarm, "12x 3"));
        QVERIFY(w.typeInto(0, table::Number, "!Zi. 12-b Empfang, 1"));
        QVERIFY(w.typeInto(0, table::Remark, "a\u2603€")); // no snowman in Windows-1252
        QCOMPARE(w.model().rows()[0],
                 (table::Cells{"!Zi. 12-b Empfang, ", "12 3", pad("3", 20), "12.50 ", "a\x80"}));

        // A line break would tear the save frame apart; letters the server put into an alarm
        // number may be removed, but none added, and a removed one leaves no room for another.
        int pos = 0;
        QString broken = "a\nb", fewer = "912a", more = "12abc", swapped = "912b";
        table::EditMaskValidator remark(*table::NummernGridGetEditMask(table::Remark), "");
        table::EditMaskValidator alarm(*table::NummernGridGetEditMask(table::Alarm), "12ab");
        QCOMPARE(remark.validate(broken, pos), QValidator::Invalid);
        QCOMPARE(alarm.validate(fewer, pos), QValidator::Acceptable);
        QCOMPARE(alarm.validate(more, pos), QValidator::Invalid);
        QCOMPARE(alarm.validate(swapped, pos), QValidator::Invalid);
    }

    void headerDoubleClickSortsByNumberOrRemark() {
        Window w;
        w.start();
        w.showActive();
        QVERIFY(w.load({tableLine("20", "", "", "", "b"), tableLine("100", "", "", "", "a")}));
        auto numberAt = [&w](int row) {
            return table::trimmed(w.model().cell(row, table::Number));
        };
        QHeaderView* header = w.grid()->horizontalHeader();
        auto doubleClick = [header](int section) {
            const QPoint p(header->sectionViewportPosition(section) + 5, 5);
            QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, p);
        };
        doubleClick(table::Alarm);
        QCOMPARE(numberAt(0), QByteArray("20"));
        doubleClick(table::Number);
        QCOMPARE(numberAt(0), QByteArray("100"));
        doubleClick(table::Remark);
        QCOMPARE(numberAt(0), QByteArray("100"));
        w.form->NummernGridDblClick(1 + table::Number);
        QCOMPARE(numberAt(0), QByteArray("100"));
        w.form->NummernGridDblClick(1 + table::Alarm);
        w.form->NummernGridDblClick(0);
        QCOMPARE(numberAt(0), QByteArray("100"));
    }

    // "Speichern" sends what the operator typed, the text still in an open editor included,
    // and goes to the tray only when the tray option says so and the save was not refused.
    void speichernSavesAndHonoursTheTrayOption_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("toTray");
        QTest::newRow("tray option on") << QByteArray() << "4712" << true;
        QTest::newRow("tray option off")
            << QByteArray("[ALLGEMEIN]\nInSysTry=0\n") << "4712" << false;
        QTest::newRow("twin refused") << QByteArray() << "20" << false;
    }
    void speichernSavesAndHonoursTheTrayOption() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, number);
        QFETCH(bool, toTray);
        Window w;
        w.start(settings);
        w.showActive();
        QVERIFY(w.load({tableLine("4711", "", "", "0.00"), tableLine("20")}));
        QVERIFY(w.typeInto(0, table::Number, number));
        QVERIFY(w.typeInto(0, table::Remark, "neu", false));
        w.child<QPushButton>("Button1")->click();
        QCOMPARE(w.inTray(), toTray);
        if (number == "20") {
            QCOMPARE(w.fake.prompts.shown.value(0).text,
                     QStringLiteral("Eintrag Ruf/Zi.Nummer ->  20 gibt es bereits.! "));
            QCOMPARE(w.sent(), QList<QByteArray>{});
        } else {
            QCOMPARE(w.fake.prompts.shown.value(0).text, kSaveQuestion);
            QCOMPARE(w.sent(),
                     QList<QByteArray>{sdat({record("4712", "", "", "neu"), record("20")})});
        }
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

    // An error that no handler caught is shown, the save runs, and the program ends; when the
    // save fails too, that is shown as well, unless it is the same error.
    void unhandledErrorsEndTheProgramAfterTheSave() {
        Window w;
        w.start();
        QSignalSpy ended(w.form.get(), &TNummernForm::terminateRequested);
        w.form->FormCreate();
        QTimer::singleShot(0, w.form.get(), [] { throw std::runtime_error("Zugriffsverletzung"); });
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.prompts.shown.first().text, QStringLiteral("Zugriffsverletzung"));
        QCOMPARE(w.fake.prompts.shown.first().flags, mb::Ok | mb::IconHand);
        QVERIFY(!w.form->findChild<QSystemTrayIcon*>()->isVisible());
        static_cast<TorvanelApplication*>(qApp)->setExceptionHandler({});
        // From now on the watch only beeps.
        w.fake.prompts.shown.clear();
        for (int tick = 0; tick < 6; ++tick)
            w.form->Timer1Timer();
        QVERIFY(w.fake.prompts.shown.isEmpty());
        QCOMPARE(w.fake.beeper.beeps.size(), 6);

        // A settings file that cannot be written makes the save fail.
        writeAll(w.ini(), QByteArray("[UDPLink]\n\0", 11));
        w.form->AppException(QStringLiteral("kaputt"));
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        const QString saveError = w.fake.prompts.shown[1].text;
        QVERIFY2(saveError.contains(QStringLiteral("Binärdaten")), qPrintable(saveError));
        QCOMPARE(ended.count(), 2);
        w.fake.prompts.shown.clear();
        w.form->AppException(saveError);
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(ended.count(), 3);
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
            shown = w.form->isVisible() && !w.form->isMinimized() && w.gridColor() == Qt::red;
        };
        for (int tick = 0; tick < 5; ++tick)
            w.form->Timer1Timer();
        QVERIFY(shown);
        QCOMPARE(w.gridColor(), normal);
    }

    void whatTheServerSendsReachesTheStatusLineTheGridAndTheWatch() {
        Window w;
        w.start();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" Server 127.0.0.1 OK!"));
        QVERIFY(w.load({tableLine("4711"), tableLine("0815")}));
        QCOMPARE(w.model().rowCount(), 2);
        w.peer.send(answer("\n\r17\n\r", "[___test]"));
        QTRY_COMPARE(w.label("Label1"), QStringLiteral(" ALARM = AUS !"));
        // The table left one unit of credit and the answer one more: the third tick finds none.
        w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 1);
        QCOMPARE(w.fake.prompts.shown[0].text, QStringLiteral("Alarm von Nst. 17"));
        w.peer.send(answer("\n\r\n\r"));
        QTRY_COMPARE(w.label("Label1"), QString());
        w.peer.send(tableFrame({tableLine("1")}));
        QTRY_COMPARE(w.model().rowCount(), 1);
        w.form->Timer1Timer();
        w.form->Timer1Timer();
        QCOMPARE(w.fake.prompts.shown.size(), 2);
        QCOMPARE(w.fake.prompts.shown[1].text, kSilent);
        w.peer.socket->disconnectFromHost();
        QTRY_COMPARE(w.label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
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

    void logoComesFromTheWorkingFolderAndMustBeAWholePicture() {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        QImage picture(170, 25, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        QVERIFY(picture.save(QStringLiteral("BMP_klein.bmp"), "BMP"));
        const QByteArray bitmap = readAll(QStringLiteral("BMP_klein.bmp"));
        for (const QByteArray& file : {bitmap, QByteArray(), bitmap.left(bitmap.size() / 2)}) {
            writeAll(QStringLiteral("BMP_klein.bmp"), file);
            Window w;
            if (file == bitmap) {
                w.start();
                QCOMPARE(w.child<QLabel>("Image1")->pixmap().toImage().pixelColor(5, 5),
                         QColor(Qt::darkBlue));
            } else {
                QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.start());
            }
        }
        QVERIFY(QDir::setCurrent(previous));
    }

    void placementIsAppliedAndKept() {
        Window w;
        for (const auto& [name, value] :
             {std::pair{"Left", 10}, {"Top", 20}, {"Height", 400}, {"Width", 650}})
            w.fake.store.values.insert(QStringLiteral("Position/") + name, value);
        w.start();
        QCOMPARE(w.form->geometry(), QRect(10, 20, 650, 400));
        w.form->move(30, 40);
        w.form->SaveSettingsAndTable();
        QCOMPARE(w.fake.store.values.value("Position/Left"), QVariant(30));
        QCOMPARE(w.fake.store.values.value("Position/Width"), QVariant(650));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"

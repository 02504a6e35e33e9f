// A whole run of the client, as the program starts it: the instance guard, the window, the
// event loop and every way out.
#include "FakeServices.h"
#include "RufNum/RufNum.h"
#include "app/ClientRun.h"
#include "app/TorvanelApplication.h"
#include "platform/InstanceGuard.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

namespace {

const QString kRefused =
    QStringLiteral("Das Programm ist bereits aktiv. Es kann nicht erneut gestartet werden !");

TNummernForm* runningWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TNummernForm*>(w))
            return form;
    return nullptr;
}

// Runs the client for `text`; `whileRunning` acts once its window is up.
int run(FakeServices& fake, const QString& text, std::function<void(TNummernForm&)> whileRunning) {
    QTimer::singleShot(0, [whileRunning] {
        TNummernForm* form = runningWindow();
        QVERIFY(form);
        whileRunning(*form);
    });
    return runClient(*static_cast<TorvanelApplication*>(qApp), text, fake.services());
}

} // namespace

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void aSecondStartIsRefusedAndAsksTheFirstForward() {
        InstanceGuard running(QStringLiteral("Haus 2"));
        QVERIFY(running.tryAcquire());
        QSignalSpy asked(&running, &InstanceGuard::activationRequested);
        FakeServices fake;
        QCOMPARE(runClient(*static_cast<TorvanelApplication*>(qApp), QStringLiteral("Haus 2"),
                           fake.services()),
                 0);
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text, kRefused);
        QCOMPARE(fake.prompts.shown[0].caption, QStringLiteral("TorvanelClient"));
        QCOMPARE(fake.prompts.shown[0].flags, mb::Ok);
        QTRY_COMPARE(asked.count(), 1);
        QVERIFY(runningWindow() == nullptr);
    }

    // The window comes up, a refused second start brings it forward unless it is in the
    // tray, and an error that no handler catches ends the run after its message.
    void runsUntilAnUnhandledErrorEndsIt() {
        FakeServices fake;
        bool checked = false;
        const int code = run(fake, QStringLiteral("Haus 3"), [&](TNummernForm& form) {
            QVERIFY(form.isVisible());
            QVERIFY(!QApplication::quitOnLastWindowClosed());
            QWidget other;
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(QTest::qWaitForWindowActive(&other));
            InstanceGuard second(QStringLiteral("Haus 3"));
            QVERIFY(!second.tryAcquire());
            QVERIFY(second.askRunningToActivate());
            QTRY_COMPARE(QApplication::activeWindow(), &form);

            form.hide();
            QVERIFY(second.askRunningToActivate());
            QTest::qWait(50);
            QVERIFY(!form.isVisible());
            checked = true;
            QTimer::singleShot(0, &form, [] { throw std::runtime_error("Zugriffsverletzung"); });
        });
        QCOMPARE(code, 0);
        QVERIFY(checked);
        QCOMPARE(fake.prompts.shown.value(0).text, QStringLiteral("Zugriffsverletzung"));
        QVERIFY(runningWindow() == nullptr);
    }

    // An error of no known kind is reported too; one raised while the first is being shown
    // is part of the same end.
    void errorsOfAnyKindAreReportedOnce() {
        FakeServices fake;
        fake.prompts.whileOpen = [](const ScriptedPrompts::Box&) {
            QTimer::singleShot(0, [] { throw std::runtime_error("noch einer"); });
            QCoreApplication::processEvents();
        };
        QCOMPARE(run(fake, QString(),
                     [](TNummernForm& form) { QTimer::singleShot(0, &form, [] { throw 42; }); }),
                 0);
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text, QStringLiteral("Unbekannter Fehler"));
    }

    void aWindowThatCannotBeBuiltSaysWhy() {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        QFile logo(QStringLiteral("BMP_klein.bmp"));
        QVERIFY(logo.open(QIODevice::WriteOnly));
        logo.write("BM no picture");
        logo.close();
        FakeServices fake;
        QCOMPARE(runClient(*static_cast<TorvanelApplication*>(qApp), QString(), fake.services()),
                 0);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(fake.prompts.shown.size(), 1);
        QVERIFY(fake.prompts.shown[0].text.startsWith(QStringLiteral("Die Logo-Datei")));
        QCOMPARE(fake.prompts.shown[0].flags, mb::Ok | mb::IconHand);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Instance guards of our own, apart from any client running on this desktop.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TorvanelApplication app(argc, argv);
    TestRun t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_run.moc"

#include "FakeServices.h"
#include "app/CommandLine.h"
#include "app/TorvanelApplication.h"
#include "platform/InstanceGuard.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void commandLineTextIsKeptAsGiven() {
        char prog[] = "TorvanelClient", a[] = "Haus", b[] = " 2 ", c[] = "-style";
        char* argv[] = {prog, a, b, c};
        QCOMPARE(commandLineText(4, argv), QStringLiteral("Haus  2  -style"));
        QCOMPARE(commandLineText(1, argv), QString());
    }

    void oneInstancePerText() {
        InstanceGuard first(QStringLiteral("A"));
        QVERIFY(first.tryAcquire());
        InstanceGuard same(QStringLiteral("A"));
        QVERIFY(!same.tryAcquire());

        // Texts are compared exactly; any length and any character make a valid name.
        for (const QString& other : {QStringLiteral("a"), QStringLiteral("A "), QString(),
                                     QStringLiteral("../x/\\y:*?"), QString(5000, QChar(0xFC))}) {
            InstanceGuard g(other);
            QVERIFY2(g.tryAcquire(), qPrintable(other.left(20)));
        }

        // A refused start asks the running instance to come forward.
        QSignalSpy asked(&first, &InstanceGuard::activationRequested);
        QTimer::singleShot(0, [&] { QVERIFY(same.askRunningToActivate(2000)); });
        QTRY_COMPARE(asked.count(), 1);

        // The guard goes with the instance.
        {
            InstanceGuard gone(QStringLiteral("B"));
            QVERIFY(gone.tryAcquire());
        }
        InstanceGuard again(QStringLiteral("B"));
        QVERIFY(again.tryAcquire());
    }

    void windowAsDesigned() {
        FakeServices fake;
        TNummernForm form(QStringLiteral("Haus 2"), fake.services());
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("TorvanelClient  Haus 2"));
        QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.size(), QSize(600, 200));

        for (const QSize& asked : {QSize(100, 50), QSize(700, 500), QSize(2000, 2000)}) {
            form.resize(asked);
            QCoreApplication::processEvents();
            QCOMPARE(form.width(), qBound(600, asked.width(), 800));
            QCOMPARE(form.height(), qBound(200, asked.height(), 800));
            QCOMPARE(form.Panel1->height(), 40);
            QCOMPARE(form.NummernText->height(), 24);
            QCOMPARE(form.NummernText->geometry().bottom() + 1, form.NummernGrid->y());
            QCOMPARE(form.NummernGrid->geometry().bottom() + 1, form.Panel1->y());
            QCOMPARE(form.Panel1->geometry().bottom() + 1, form.height());
        }
        QCOMPARE(form.Button1->geometry(), QRect(221, 2, 130, 25));

        // Closing sends the window to the tray; the program and its watch go on.
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        form.close();
        QCOMPARE(ended.count(), 0);
        QVERIFY(!form.isVisible() || form.isMinimized());
        QVERIFY(form.Timer1.isActive());
    }

    void serverTextInARealBoxIsPlainAndBounded() {
        const QString alarm = QStringLiteral("Alarm von Nst. <b>1</b>") + QString(10000, u'7');
        QString shown, details;
        Qt::TextFormat format = Qt::RichText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            details = box->detailedText();
            format = box->textFormat();
            box->button(QMessageBox::Cancel)->click();
        });
        MessageBoxPrompts prompts;
        QCOMPARE(prompts.ask(alarm, QStringLiteral(" A C H T U N G "), mb::OkCancel), mb::IdCancel);
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(shown.startsWith("Alarm von Nst. <b>1</b>") && shown.size() < 1000);
        QCOMPARE(details, alarm);
    }

    void escapedErrorEndsTheProgramThroughTheHandler() {
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        form.FormCreate();
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        QTimer::singleShot(0, &form, [] { throw std::runtime_error("Zugriffsverletzung"); });
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(fake.prompts.shown.first().text, QStringLiteral("Zugriffsverletzung"));
        QVERIFY(form.WatchBusy);
        static_cast<TorvanelApplication*>(qApp)->setExceptionHandler({});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Instance guards of our own, apart from any client running on this desktop.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TorvanelApplication app(argc, argv);
    TestShell t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_shell.moc"

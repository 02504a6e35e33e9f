#include "FakeServices.h"
#include "RufNum/RufNum.h"
#include "link/Frames.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <unistd.h>

namespace {

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString iniIn(const QString& dir) {
    return QDir(dir).filePath(QStringLiteral("TorvanelClient.ini"));
}

} // namespace

class TestTrayLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void trayIconLastsUntilAConfirmedQuit() {
        FakeServices fake;
        const QByteArray settings = "[ALLGEMEIN]\nInSysTry=0\n";
        writeAll(iniIn(fake.programDir.path()), settings);
        const QString longText(200, QLatin1Char('x'));
        TNummernForm form(longText, fake.services());
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        // There whatever the tray option says, with the tip cut to what the tray holds.
        QVERIFY(!form.InSysTry);
        QVERIFY(form.Tray->isVisible());
        QVERIFY(!form.Tray->icon().isNull());
        QCOMPARE(form.Tray->toolTip(), longText.left(127));
        QCOMPARE(form.Tray->contextMenu(), form.PopupMenu1);

        fake.prompts.answers = {mb::IdCancel};
        form.B1Click();
        QCOMPARE(fake.beeper.beeps.last(), qMakePair(666, 200));
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text, QStringLiteral("   TorvanelClient  Beenden ???  "));
        QCOMPARE(fake.prompts.shown[0].caption, QStringLiteral(" A C H T U N G ! "));
        QCOMPARE(fake.prompts.shown[0].flags, 0x111u);
        QVERIFY(form.Tray->isVisible());
        QCOMPARE(ended.size(), 0);
        // Cancel saves nothing.
        QFile file(form.iniFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings);
        QVERIFY(fake.store.values.isEmpty());

        // Closing and saving do not touch it.
        form.FormClose();
        form.Button1Click();
        QVERIFY(form.Tray->isVisible());

        // Quit confirmed: saved (the position lands in the store), icon gone, program ends.
        form.move(11, 12);
        fake.prompts.answers = {mb::IdOk};
        form.B1Click();
        QCOMPARE(fake.store.values.value(QStringLiteral("Position/Left") + longText), QVariant(11));
        QVERIFY(!form.Tray->isVisible());
        QCOMPARE(ended.size(), 1);
    }

    void unhandledErrorSavesRemovesIconAndEnds() {
        // The settings file cannot be made (the program folder has gone): the error of the
        // save is shown after the first one, and the program still ends without its icon.
        FakeServices fake;
        Services s{fake.prompts, fake.beeper, fake.store, fake.shell,
                   fake.programDir.filePath(QStringLiteral("weg"))};
        TNummernForm form(QString(), s);
        QSignalSpy ended(&form, &TNummernForm::terminateRequested);
        form.AppException(QStringLiteral("Fehler im Test"));
        QCOMPARE(fake.prompts.shown.size(), 2);
        QCOMPARE(fake.prompts.shown[0].text, QStringLiteral("Fehler im Test"));
        QVERIFY(fake.prompts.shown[1].text.contains(QStringLiteral("TorvanelClient.ini")));
        QVERIFY(!form.Tray->isVisible());
        QCOMPARE(ended.size(), 1);
    }

    void leftClickBringsTheWindowBackAndAsksForTheTable() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        FakeServices fake;
        writeAll(iniIn(fake.programDir.path()),
                 "[UDPLink]\nH_Port=" + QByteArray::number(server.serverPort()) + "\n");
        TNummernForm form(QString(), fake.services());
        // Only the clicks may ask for the table here: no watch tick, no request timer.
        form.Timer1.stop();
        connect(&form.ClientZuServer, &QTcpSocket::connected, &form,
                [&form] { form.Timer2.stop(); });
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_VERIFY(form.Connected);

        // Link up: exactly one table request per left click; other clicks send nothing.
        form.hide();
        form.TrayIconMessage(QSystemTrayIcon::Context);
        form.TrayIconMessage(QSystemTrayIcon::DoubleClick);
        form.TrayIconMessage(QSystemTrayIcon::MiddleClick);
        QVERIFY(!form.isVisible());
        form.TrayIconMessage(QSystemTrayIcon::Trigger);
        QVERIFY(form.isVisible());
        QByteArray received;
        QTRY_COMPARE((received += peer->readAll()), frames::tableRequest());

        // Link down: the window comes back all the same, and nothing goes out.
        peer->close();
        QTRY_VERIFY(!form.Connected);
        form.hide();
        form.SendFrame.clear();
        form.TrayIconMessage(QSystemTrayIcon::Trigger);
        QVERIFY(form.isVisible());
        QCOMPARE(form.SendFrame, frames::tableRequest());
        QCOMPARE(form.ClientZuServer.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(!server.hasPendingConnections());

        // Where there is no tray, hiding minimises; the click restores the window.
        form.HideToTray();
        form.TrayIconMessage(QSystemTrayIcon::Trigger);
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
    }

    void headlineOpensTheSettingsFileOrSaysWhyNot() {
        const QString noAssociation =
            QStringLiteral("Der angegebene Dateityp ist auf Ihrem Computer keiner Anwendung "
                           "zugeordnet !");
        QTemporaryDir root;
        const QString withBlanks = root.filePath(QStringLiteral("Torvanel Client/Programm Ordner"));
        QVERIFY(QDir().mkpath(withBlanks));
        FakeServices fake;
        Services s{fake.prompts, fake.beeper, fake.store, fake.shell, withBlanks};
        TNummernForm form(QString(), s);
        const QString ini = iniIn(withBlanks);

        // Exactly one box, with its caption and flags, per failed click.
        auto onlyBox = [&fake] {
            const auto& shown = fake.prompts.shown;
            const QString got = shown.size() == 1 ? QStringLiteral("%1|%2|%3")
                                                        .arg(shown[0].caption)
                                                        .arg(shown[0].flags, 0, 16)
                                                        .arg(shown[0].text)
                                                  : QStringLiteral("%1 boxes").arg(shown.size());
            fake.prompts.shown.clear();
            return got;
        };
        auto box = [](const QString& text) { return QStringLiteral("Fehler|30|") + text; };

        form.NummernTextClick();
        QCOMPARE(onlyBox(), box(QStringLiteral("Die angegebene Datei wurde nicht gefunden !")));
        QVERIFY(fake.shell.opened.isEmpty());

        // A click on the headline is what opens it; the path goes as it is, blanks and all.
        writeAll(ini, "[UDPLink]\n");
        QTest::mouseClick(form.NummernText, Qt::LeftButton);
        QCOMPARE(fake.shell.opened, QStringList{ini});
        QVERIFY(fake.prompts.shown.isEmpty());
        QTest::mouseClick(form.NummernText, Qt::RightButton);
        QCOMPARE(fake.shell.opened.size(), 1);

        fake.shell.succeed = false;
        form.NummernTextClick();
        QCOMPARE(onlyBox(), box(noAssociation));

        QVERIFY(QFile::remove(ini));
        QVERIFY(QDir().mkdir(ini));
        form.NummernTextClick();
        QCOMPARE(onlyBox(), box(QStringLiteral("Datei konnte nicht geöffnet werden !")));
        QVERIFY(QDir().rmdir(ini));

        QVERIFY(QDir(withBlanks).removeRecursively());
        form.NummernTextClick();
        QCOMPARE(onlyBox(), box(QStringLiteral("Der Pfad zur Datei wurde nicht gefunden !")));
    }

    void unreadableSettingsFileIsReportedAsRefusedAccess() {
        if (geteuid() == 0)
            QSKIP("access rights do not bind the superuser");
        FakeServices fake;
        TNummernForm form(QString(), fake.services());
        writeAll(form.iniFilePath(), "[UDPLink]\n");
        QVERIFY(QFile::setPermissions(form.iniFilePath(), QFileDevice::WriteOwner));
        form.NummernTextClick();
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text,
                 QStringLiteral("Dateizugriff wird vom Betriebssystem verweigert !"));
        QVERIFY(fake.shell.opened.isEmpty());
    }
};

QTEST_MAIN(TestTrayLink)
#include "test_tray_link.moc"

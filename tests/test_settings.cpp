#include "FakeServices.h"
#include "RufNum/IniFile.h"
#include "RufNum/ProfileText.h"
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

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const char* const kPosition[] = {"Left", "Top", "Height", "Width"};

// One client: settings file in the program folder, user store, command-line text.
struct Client {
    FakeServices fake;
    std::unique_ptr<TNummernForm> form;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void setIni(const QByteArray& text) { writeAll(ini(), text); }
    void start(const QString& t = {}) { form = std::make_unique<TNummernForm>(t, fake.services()); }
    void storePosition(const QString& t, const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i)
            fake.store.values.insert(QStringLiteral("Position/") + kPosition[i] + t, values[i]);
    }
    QVariantList position(const QString& t) const {
        QVariantList values;
        for (const char* name : kPosition)
            values << fake.store.values.value(QStringLiteral("Position/") + name + t);
        return values;
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void entryEditLeavesEveryOtherByte() {
        const QByteArray admin = "; Technik\r\n[allgemein]\r\n  insystry =  0 \r\nFarbe=blau\r\n"
                                 "\r\n; Server im Keller\r\n[UDPLink]\r\nH_Port=7000\r\n";
        // The key's spelling and spacing stay; a new key goes before the next comment.
        const QByteArray edited = profile::setEntry(admin, "ALLGEMEIN", "InSysTry", "1");
        QCOMPARE(
            profile::setEntry(edited, "AllGEMEIN", "Logo", "l.bmp"),
            QByteArray(admin).replace(" 0 ", " 1").replace("blau\r\n", "blau\r\nLogo=l.bmp\r\n"));
        // The first of two like-named sections is read, so written; "k" alone is no entry.
        QCOMPARE(profile::setEntry("[s]\nk\nk=1\n[S]\nk=2\n", "s", "k", "9"),
                 QByteArray("[s]\nk\nk=9\n[S]\nk=2\n"));
    }

    void firstStartUsesDefaultsAndFirstSaveWritesTheFreshFile() {
        Client c;
        c.start();
        QCOMPARE(c.form->port(), 6767);
        QCOMPARE(c.form->host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(c.form->geometry(), QRect(0, 0, 600, 200));
        QVERIFY(c.form->SaveSettingsAndTable());
        QCOMPARE(readAll(c.ini()),
                 QByteArray("[UDPLink]\nH_Port=6767\nH_TCPIP=127.0.0.1\n"
                            "[AllGEMEIN]\nLogoDatei=BMP_klein.bmp\nInSysTry=1\n"));
        QCOMPARE(c.position(QString()), (QVariantList{0, 0, 200, 600}));
    }

    // A port that is no number or 0 marks a file never set up: every save writes all four.
    void portDecidesFirstRunEntriesAndConnecting_data() {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<int>("read");
        QTest::addColumn<bool>("firstRun");
        QTest::newRow("own port") << QByteArray("7000") << 7000 << false;
        QTest::newRow("zero") << QByteArray("0") << 0 << true;
        QTest::newRow("text") << QByteArray("abc") << 6767 << true;
        QTest::newRow("trailing text") << QByteArray("6767xyz") << 6767 << true;
        QTest::newRow("beyond ports") << QByteArray("70000") << 70000 << false;
    }
    void portDecidesFirstRunEntriesAndConnecting() {
        QFETCH(QByteArray, port);
        QFETCH(int, read);
        QFETCH(bool, firstRun);
        Client c;
        const QByteArray text = "[UDPLink]\nH_Port=" + port + "\n[ALLGEMEIN]\nInSysTry=0\n";
        c.setIni(text);
        c.start();
        QCOMPARE(c.form->port(), read);
        if (read < 1 || read > 65535) {
            QCOMPARE(c.form->ClientZuServer.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(c.form->Label2->text(),
                     QStringLiteral("Server 127.0.0.1 FEHLER! Port %1 ungültig").arg(read));
        }
        const QByteArray expected =
            firstRun ? "[UDPLink]\nH_Port=" + QByteArray::number(read) +
                           "\nH_TCPIP=127.0.0.1\n[ALLGEMEIN]\nInSysTry=0\nLogoDatei=BMP_klein.bmp\n"
                     : text;
        for (int save = 0; save < 2; ++save) {
            c.setIni(text);
            c.form->SaveSettingsAndTable();
            QCOMPARE(readAll(c.ini()), expected);
        }
    }

    void generalSectionInAnyCaseServesBothSpellingsAndCommentsStay() {
        Client c;
        const QByteArray text = "; von der Technik\n[allgemein]\ninsystry=0\nlogodatei=\n"
                                "; Server im Keller\n[UDPLink]\nH_Port=7000\n";
        c.setIni(text);
        c.start();
        QVERIFY(!c.form->InSysTry);
        QCOMPARE(c.form->LogoFile, QString());
        c.form->InSysTry = true;
        c.form->SaveSettingsAndTable();
        QCOMPARE(readAll(c.ini()), QByteArray(text).replace("insystry=0", "insystry=1"));
    }

    void fileInTheAnsiCodePageIsReadAndWrittenInIt() {
        Client c;
        // Saved by an old editor: "Süd" and "Küche" in Windows-1252, no first-run entries due.
        const QByteArray text = "[UDPLinkS\xFC"
                                "d]\nH_Port=7000\nH_TCPIP=k\xFC"
                                "che\n";
        c.setIni(text);
        c.start(QStringLiteral("Süd"));
        QCOMPARE(c.form->port(), 7000);
        QCOMPARE(c.form->host(), QStringLiteral("küche"));
        c.form->InSysTry = false;
        c.form->SaveSettingsAndTable();
        QCOMPARE(readAll(c.ini()), text + "[ALLGEMEIN]\nInSysTry=0\n");
    }

    // Of the four position values, one missing or not a number and none is used.
    void instanceTextSelectsServerSectionAndPositionNames_data() {
        QTest::addColumn<QVariantList>("own");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("whole") << QVariantList{10, 20, 400, 650} << QRect(10, 20, 650, 400);
        QTest::newRow("left and top only") << QVariantList{10, 20} << QRect(0, 0, 600, 200);
        QTest::newRow("text") << QVariantList{10, 20, "400", 650} << QRect(0, 0, 600, 200);
    }
    void instanceTextSelectsServerSectionAndPositionNames() {
        QFETCH(QVariantList, own);
        QFETCH(QRect, geometry);
        Client c;
        // The host in the Windows code page, as older editors save it, reads as meant.
        c.setIni("[UDPLink]\nH_Port=1\nH_TCPIP=a\n[UDPLink2]\nH_Port=2\nH_TCPIP=B\xFCro\n");
        c.storePosition(QString(), {1, 2, 300, 700});
        c.storePosition(QStringLiteral("2"), own);
        c.start(QStringLiteral("2"));
        QCOMPARE(c.form->port(), 2);
        QCOMPARE(c.form->host(), QString::fromUtf8("Büro"));
        QCOMPARE(c.form->geometry(), geometry);
        c.form->move(30, 40);
        c.form->SaveSettingsAndTable();
        QCOMPARE(c.position(QStringLiteral("2")),
                 (QVariantList{30, 40, geometry.height(), geometry.width()}));
        QCOMPARE(c.position(QString()), (QVariantList{1, 2, 300, 700}));
    }

    void untrustworthyFileReadsAsAbsentAndIsNeverClobbered() {
        const QByteArray binary("[UDPLink]\nH_Port=7000\n\0\x01\xFF\xFE rest", 31);
        const QByteArray huge = "[UDPLink]\nH_Port=7000\n" + QByteArray(IniFile::kMaxSize, ';');
        const QByteArray utf16("\xFF\xFE[\0U\0]\0\n\0", 10);
        for (const QByteArray& text : {binary, huge, utf16}) {
            Client c;
            c.setIni(text);
            c.start();
            QCOMPARE(c.form->port(), 6767);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.form->SaveSettingsAndTable());
            QVERIFY(readAll(c.ini()) == text);
        }
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
            Client c;
            if (file == bitmap) {
                c.start();
                QCOMPARE(c.form->Image1->pixmap().toImage().pixelColor(5, 5), QColor(Qt::darkBlue));
            } else {
                QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.start());
            }
        }
        QVERIFY(QDir::setCurrent(previous));
    }

    void quitAsksAndOnlyOkSavesRemovesTheIconAndEnds() {
        Client c;
        const QString t(200, QLatin1Char('x'));
        c.start(t);
        QSignalSpy ended(c.form.get(), &TNummernForm::terminateRequested);
        QVERIFY(c.form->Tray->isVisible());
        QCOMPARE(c.form->Tray->toolTip(), t.left(127));
        c.fake.prompts.answers = {mb::IdCancel};
        c.form->B1Click();
        QCOMPARE(c.fake.prompts.shown.size(), 1);
        const auto& box = c.fake.prompts.shown.last();
        QCOMPARE(box.text, QStringLiteral("   TorvanelClient  Beenden ???  "));
        QCOMPARE(box.caption, QStringLiteral(" A C H T U N G ! "));
        QCOMPARE(box.flags, 0x111u);
        QCOMPARE(c.fake.beeper.beeps, (QList<QPair<int, int>>{{666, 200}}));
        QVERIFY(c.form->Tray->isVisible());
        QCOMPARE(ended.size(), 0);
        QVERIFY(!QFile::exists(c.ini()));
        QVERIFY(c.fake.store.values.isEmpty());
        c.form->B1Click(); // the script has run out: OK
        QCOMPARE(c.position(t), (QVariantList{0, 0, 200, 600}));
        QVERIFY(!c.form->Tray->isVisible());
        QCOMPARE(ended.size(), 1);
    }

    void leftClickShowsTheWindowAndAsksForTheTableOnlyOverALiveLink() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Client c;
        c.setIni("[UDPLink]\nH_Port=" + QByteArray::number(server.serverPort()) + "\n");
        c.start();
        TNummernForm& form = *c.form;
        // Only the clicks may ask for the table here: no watch tick, no request timer.
        form.Timer1.stop();
        connect(&form.ClientZuServer, &QTcpSocket::connected, &form, [&] { form.Timer2.stop(); });
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_VERIFY(form.Connected);
        form.TrayIconMessage(QSystemTrayIcon::Trigger);
        QByteArray received;
        QTRY_COMPARE((received += peer->readAll()), frames::tableRequest());
        peer->close();
        QTRY_VERIFY(!form.Connected);
        form.hide();
        form.TrayIconMessage(QSystemTrayIcon::Trigger);
        QVERIFY(form.isVisible());
        QCOMPARE(form.ClientZuServer.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(!server.hasPendingConnections());
    }

    void headlineOpensTheSettingsFileOrSaysWhyNot() {
        Client c;
        c.start();
        auto click = [&c] {
            QTest::mouseClick(c.form->NummernText, Qt::LeftButton);
            return std::exchange(c.fake.prompts.shown, {}).value(0).text;
        };
        QCOMPARE(click(), QStringLiteral("Die angegebene Datei wurde nicht gefunden !"));
        c.setIni("[UDPLink]\n");
        QCOMPARE(click(), QString());
        QCOMPARE(c.fake.shell.opened, QStringList{c.ini()});
        c.fake.shell.succeed = false;
        QCOMPARE(click(), QStringLiteral("Der angegebene Dateityp ist auf Ihrem Computer keiner "
                                         "Anwendung zugeordnet !"));
        QVERIFY(c.fake.programDir.remove());
        QCOMPARE(click(), QStringLiteral("Der Pfad zur Datei wurde nicht gefunden !"));
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"

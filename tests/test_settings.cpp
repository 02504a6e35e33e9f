#include "FakeServices.h"
#include "RufNum/IniFile.h"
#include "RufNum/Logo.h"
#include "RufNum/ProfileText.h"
#include "RufNum/RufNum.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <memory>
#include <unistd.h>

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

QByteArray bitmapBytes() {
    QImage picture(170, 25, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

// One client as it starts: its settings file (if any) in the program folder, the user store
// as given, and the command-line text.
struct Client {
    FakeServices fake;
    std::unique_ptr<TNummernForm> form;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void setIni(const QByteArray& text) { writeAll(ini(), text); }
    void start(const QString& text = {}) {
        form = std::make_unique<TNummernForm>(text, fake.services());
    }
    QVariant stored(const QString& name) const {
        return fake.store.values.value(QStringLiteral("Position/") + name);
    }
    void storePosition(const QString& t, int left, int top, int height, int width) {
        fake.store.values.insert("Position/Left" + t, left);
        fake.store.values.insert("Position/Top" + t, top);
        fake.store.values.insert("Position/Height" + t, height);
        fake.store.values.insert("Position/Width" + t, width);
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void entryEditLeavesEveryOtherByte() {
        const QByteArray admin = "; Torvanel, eingerichtet von der Technik\r\n"
                                 "\r\n"
                                 "[allgemein]\r\n"
                                 "  insystry =  0 \r\n"
                                 "Farbe=blau\r\n"
                                 "\r\n"
                                 "; Server im Keller\r\n"
                                 "[UDPLink]\r\n"
                                 "H_Port=7000\r\n";
        // The value changes; the key's spelling, its spacing and everything else stay.
        QCOMPARE(profile::setEntry(admin, "ALLGEMEIN", "InSysTry", "1"),
                 QByteArray(admin).replace("insystry =  0 ", "insystry =  1"));
        // A new key goes after the section's last entry, before the next section's comment.
        QCOMPARE(
            profile::setEntry(admin, "AllGEMEIN", "LogoDatei", "logo.bmp"),
            QByteArray(admin).replace("Farbe=blau\r\n", "Farbe=blau\r\nLogoDatei=logo.bmp\r\n"));
        // A new section goes at the end, in the file's own line ends.
        QCOMPARE(profile::setEntry(admin, "UDPLink2", "H_Port", "6767"),
                 admin + "[UDPLink2]\r\nH_Port=6767\r\n");
        QCOMPARE(profile::setEntry("[a]\nx=1", "a", "y", "2"), QByteArray("[a]\nx=1\ny=2\n"));
        // Of two sections with one name the first is read, so the first is written.
        QCOMPARE(profile::setEntry("[s]\nk=1\n[S]\nk=2\n", "s", "k", "9"),
                 QByteArray("[s]\nk=9\n[S]\nk=2\n"));
        QCOMPARE(profile::setEntry("[s]\n[t]\nk=1\n[s]\nk=2\n", "s", "n", "9"),
                 QByteArray("[s]\nn=9\n[t]\nk=1\n[s]\nk=2\n"));
        // Neither a key without "=" nor an unclosed bracket is an entry or a header.
        QCOMPARE(profile::setEntry("[s]\nk\n[t\nk=1\n", "s", "k", "9"),
                 QByteArray("[s]\nk\n[t\nk=9\n"));
        QCOMPARE(profile::setEntry("\xEF\xBB\xBF[s]\nk=1\n", "S", "K", "2"),
                 QByteArray("\xEF\xBB\xBF[s]\nk=2\n"));
        QVERIFY(!profile::sameName("UDPLink\xC3\x84", "udplink\xE3\x84"));
    }

    void firstStartUsesDefaultsAndFirstSaveWritesTheFreshFile() {
        Client c;
        c.start();
        QCOMPARE(c.form->port(), 6767);
        QCOMPARE(c.form->host(), QStringLiteral("127.0.0.1"));
        QVERIFY(c.form->InSysTry);
        QCOMPARE(c.form->LogoFile, QStringLiteral("BMP_klein.bmp"));
        QCOMPARE(c.form->geometry(), QRect(0, 0, 600, 200));
        QVERIFY(!QFile::exists(c.ini()));

        QVERIFY(c.form->SaveSettingsAndTable());
        QCOMPARE(readAll(c.ini()), QByteArray("[UDPLink]\n"
                                              "H_Port=6767\n"
                                              "H_TCPIP=127.0.0.1\n"
                                              "[AllGEMEIN]\n"
                                              "LogoDatei=BMP_klein.bmp\n"
                                              "InSysTry=1\n"));
        QCOMPARE(c.fake.store.values.size(), 4);
        QCOMPARE(c.stored("Left"), QVariant(0));
        QCOMPARE(c.stored("Top"), QVariant(0));
        QCOMPARE(c.stored("Height"), QVariant(200));
        QCOMPARE(c.stored("Width"), QVariant(600));
    }

    void firstRunEntriesAreWrittenOnlyWhilePortReadsZero() {
        // A port of its own: the missing host is never added.
        Client c;
        c.setIni("[UDPLink]\nH_Port=7000\n");
        c.start();
        QCOMPARE(c.form->port(), 7000);
        QCOMPARE(c.form->host(), QStringLiteral("127.0.0.1"));
        c.form->SaveSettingsAndTable();
        c.form->SaveSettingsAndTable();
        QCOMPARE(readAll(c.ini()), QByteArray("[UDPLink]\nH_Port=7000\n[ALLGEMEIN]\nInSysTry=1\n"));

        // Port 0 (or no number at all): the four entries come back at every save.
        for (const QByteArray& port : {QByteArray("0"), QByteArray("abc"), QByteArray("")}) {
            Client z;
            z.setIni("[UDPLink]\nH_Port=" + port + "\n[AllGEMEIN]\nLogoDatei=\nInSysTry=0\n");
            z.start();
            QCOMPARE(z.form->port(), port == "0" ? 0 : 6767);
            QCOMPARE(z.form->LogoFile, QString());
            QVERIFY(!z.form->InSysTry);
            z.form->SaveSettingsAndTable();
            const QByteArray expected =
                "[UDPLink]\nH_Port=" + QByteArray::number(z.form->port()) +
                "\nH_TCPIP=127.0.0.1\n[AllGEMEIN]\nLogoDatei=\nInSysTry=0\n";
            QCOMPARE(readAll(z.ini()), expected);
            if (port == "0") {
                z.setIni("[UDPLink]\nH_Port=0\n");
                z.form->SaveSettingsAndTable();
                QCOMPARE(readAll(z.ini()), QByteArray("[UDPLink]\nH_Port=0\nH_TCPIP=127.0.0.1\n"
                                                      "[AllGEMEIN]\nLogoDatei=\nInSysTry=0\n"));
            }
        }
    }

    void generalSectionInAnyCaseServesBothSpellings() {
        Client c;
        const QByteArray text = "[allgemein]\ninsystry=0\nlogodatei=\n[UDPLink]\nH_Port=7000\n";
        c.setIni(text);
        c.start();
        QVERIFY(!c.form->InSysTry);
        // Present but empty: no logo file is tried, the built-in picture stays.
        QCOMPARE(c.form->LogoFile, QString());
        QVERIFY(!c.form->Image1->pixmap().isNull());
        c.form->InSysTry = true;
        c.form->SaveSettingsAndTable();
        QCOMPARE(readAll(c.ini()), QByteArray(text).replace("insystry=0", "insystry=1"));
    }

    void instanceTextSelectsServerSectionAndPositionNames() {
        Client c;
        c.setIni("[UDPLink]\nH_Port=1111\nH_TCPIP=eins\n[UDPLink2]\nH_Port=2222\n"
                 "H_TCPIP=zwei\n[ALLGEMEIN]\nInSysTry=0\n");
        c.storePosition(QString(), 1, 2, 300, 700);
        c.storePosition(QStringLiteral("2"), 10, 20, 400, 650);
        c.start(QStringLiteral("2"));
        QCOMPARE(c.form->port(), 2222);
        QCOMPARE(c.form->host(), QStringLiteral("zwei"));
        QVERIFY(!c.form->InSysTry);
        QCOMPARE(c.form->geometry(), QRect(10, 20, 650, 400));
        c.form->move(30, 40);
        c.form->SaveSettingsAndTable();
        QCOMPARE(c.stored("Left2"), QVariant(30));
        QCOMPARE(c.stored("Top2"), QVariant(40));
        QCOMPARE(c.stored("Left"), QVariant(1));
        QCOMPARE(c.fake.store.values.size(), 8);
    }

    void positionIsUsedWholeOrNotAtAll() {
        {
            Client c;
            c.fake.store.values.insert("Position/Left", 300);
            c.fake.store.values.insert("Position/Top", 200);
            c.start();
            QCOMPARE(c.form->geometry(), QRect(0, 0, 600, 200));
        }
        {
            Client c;
            c.storePosition(QString(), 300, 200, 400, 700);
            c.fake.store.values.insert("Position/Height", QStringLiteral("400"));
            c.start();
            QCOMPARE(c.form->geometry(), QRect(0, 0, 600, 200));
        }
        {
            // Sizes outside the window's limits are brought inside them.
            Client c;
            c.storePosition(QString(), -5, 7, 50, 5000);
            c.start();
            QCOMPARE(c.form->geometry(), QRect(-5, 7, 800, 200));
        }
    }

    void guardedPartFailsSilentlyFirstRunFailureIsReported() {
        {
            Client c;
            c.setIni("[UDPLink]\nH_Port=7000\n");
            c.fake.store.failWrites = true;
            c.start();
            QVERIFY(c.form->SaveSettingsAndTable());
            QVERIFY(c.fake.store.values.isEmpty());
            QVERIFY(c.fake.prompts.shown.isEmpty());
        }
        {
            // The program folder has gone: the fresh file cannot be made.
            FakeServices fake;
            Services s{fake.prompts, fake.beeper, fake.store, fake.shell,
                       fake.programDir.filePath(QStringLiteral("weg"))};
            TNummernForm form(QString(), s);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, form.SaveSettingsAndTable());
            QVERIFY(fake.store.values.isEmpty());
        }
    }

    void badFileContentsGiveDefaultsAndAreNeverClobbered() {
        QByteArray binary = "[UDPLink]\nH_Port=7000\n";
        binary.append('\0').append("\x01\xFF\xFE rest");
        QByteArray huge = "[UDPLink]\nH_Port=7000\n";
        huge.append(QByteArray(IniFile::kMaxSize, ';'));
        const QByteArray utf16("\xFF\xFE[\0U\0]\0\n\0", 10);
        for (const QByteArray& text : {binary, huge, utf16}) {
            Client c;
            c.setIni(text);
            c.start();
            QCOMPARE(c.form->port(), 6767);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.form->SaveSettingsAndTable());
            QVERIFY(readAll(c.ini()) == text);
        }
        {
            // A folder where the file should be.
            Client c;
            QVERIFY(QDir(c.fake.programDir.path()).mkdir(QStringLiteral("TorvanelClient.ini")));
            c.start();
            QCOMPARE(c.form->port(), 6767);
            try {
                c.form->SaveSettingsAndTable();
                QFAIL("a folder was taken for the settings file");
            } catch (const std::runtime_error& e) {
                QVERIFY(
                    QString::fromLocal8Bit(e.what()).contains(QDir::toNativeSeparators(c.ini())));
            }
        }
        {
            // Duplicates: the first wins; a key without "=" is no entry; blanks are trimmed.
            Client c;
            const QByteArray text = "[UDPLink]\nH_Port=7000\nH_TCPIP\n[udplink]\nH_Port=8000\n"
                                    "H_TCPIP =  mein server \n[ALLGEMEIN]\nInSysTry=1\n";
            c.setIni(text);
            c.start();
            QCOMPARE(c.form->port(), 7000);
            QCOMPARE(c.form->host(), QStringLiteral("mein server"));
            c.form->SaveSettingsAndTable();
            QCOMPARE(readAll(c.ini()), text);
        }
        struct Port {
            QByteArray text;
            int read;
            bool firstRun; // the port reads as 0 when no default stands in for it
        };
        for (const Port& p : {Port{"6767xyz", 6767, true}, Port{"99999999999", 6767, true},
                              Port{"-1", -1, false}, Port{"70000", 70000, false}}) {
            Client c;
            const QByteArray text = "[UDPLink]\nH_Port=" + p.text + "\n[ALLGEMEIN]\nInSysTry=1\n";
            c.setIni(text);
            c.start();
            QCOMPARE(c.form->port(), p.read);
            c.form->SaveSettingsAndTable();
            const QByteArray mended = "[UDPLink]\nH_Port=6767\nH_TCPIP=127.0.0.1\n[ALLGEMEIN]\n"
                                      "InSysTry=1\nLogoDatei=BMP_klein.bmp\n";
            QCOMPARE(readAll(c.ini()), p.firstRun ? mended : text);
        }
        {
            // Text in the Windows code page (as older editors save it) reads as meant.
            Client c;
            c.setIni("[UDPLink]\nH_Port=7000\nH_TCPIP=B\xFCro\n");
            c.start();
            QCOMPARE(c.form->host(), QString::fromUtf8("Büro"));
        }
    }

    void writeProtectedFileIsLeftAlone() {
        if (geteuid() == 0)
            QSKIP("access rights do not bind the superuser");
        Client c;
        const QByteArray text = "[UDPLink]\nH_Port=7000\n[ALLGEMEIN]\nInSysTry=1\n";
        c.setIni(text);
        QVERIFY(QFile::setPermissions(c.ini(), QFileDevice::ReadOwner));
        c.start();
        // Only the routine part would write: it gives up without a word.
        c.form->InSysTry = false;
        QVERIFY(c.form->SaveSettingsAndTable());
        QVERIFY(c.fake.prompts.shown.isEmpty());
        QVERIFY(c.fake.store.values.isEmpty());
        // The first-run part reports it.
        const QByteArray unset = "[UDPLink]\nH_Port=0\n";
        QVERIFY(QFile::setPermissions(c.ini(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        c.setIni(unset);
        QVERIFY(QFile::setPermissions(c.ini(), QFileDevice::ReadOwner));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.form->SaveSettingsAndTable());
        QCOMPARE(readAll(c.ini()), unset);
    }

    void outOfRangePortNeverConnectsAndSaysSo() {
        for (const QByteArray& port : {QByteArray("-1"), QByteArray("0"), QByteArray("70000")}) {
            Client c;
            c.setIni("[UDPLink]\nH_Port=" + port + "\n");
            c.start();
            QCOMPARE(c.form->ClientZuServer.state(), QAbstractSocket::UnconnectedState);
            QVERIFY(!c.form->Connected);
            QCOMPARE(c.form->Label2->text(), QStringLiteral("Server 127.0.0.1 FEHLER! Port ") +
                                                 QString::fromLatin1(port) +
                                                 QStringLiteral(" ungültig"));
        }
    }

    void logoComesFromTheWorkingFolderAndMustBeAWholePicture() {
        const QByteArray bitmap = bitmapBytes();
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        writeAll(QStringLiteral("BMP_klein.bmp"), bitmap);
        {
            Client c;
            c.start();
            QCOMPARE(c.form->Image1->pixmap().size(), QSize(170, 25));
            QCOMPARE(c.form->Image1->pixmap().toImage().pixelColor(5, 5), QColor(Qt::darkBlue));
        }
        // A header that claims a picture larger than any file.
        QByteArray giant = bitmap;
        giant.replace(18, 8, QByteArray("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8));
        struct Broken {
            const char* name;
            QByteArray bytes;
        };
        for (const Broken& b : {Broken{"empty", {}}, Broken{"cut", bitmap.left(bitmap.size() / 2)},
                                Broken{"header only", bitmap.left(60)}, Broken{"text", "kein Bild"},
                                Broken{"giant", giant}}) {
            writeAll(QStringLiteral("BMP_klein.bmp"), b.bytes);
            Client c;
            try {
                c.start();
                QFAIL(b.name);
            } catch (const std::runtime_error& e) {
                QVERIFY(QString::fromLocal8Bit(e.what()).contains(QStringLiteral("BMP_klein.bmp")));
            }
        }
        QVERIFY(loadLogoPicture(QStringLiteral("gibt-es-nicht.bmp")).isNull());
        QVERIFY(loadLogoPicture(QString()).isNull());
        QVERIFY(QDir::setCurrent(previous));
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"

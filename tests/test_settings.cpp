#include "FakeServices.h"
#include "settings/IniFile.h"
#include "settings/ProfileText.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <functional>
#include <memory>

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

// A file the client makes has the platform's line ends; one it finds keeps its own.
QByteArray made(QByteArray text) {
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

// One instance's settings: the file in the program folder, the user store, the text.
struct Client {
    FakeServices fake;
    std::unique_ptr<Settings> settings;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void setIni(const QByteArray& text) { writeAll(ini(), text); }
    Settings& start(const QString& t = {}) {
        settings =
            std::make_unique<Settings>(SettingsFolders{fake.programDir.path(), {}}, t, fake.store);
        settings->ReadSettings();
        return *settings;
    }
    // Why the first-run entries could not be written; empty when they could.
    QString save(const QRect& placement = QRect(0, 0, 600, 200)) {
        return settings->WriteSettings(placement);
    }
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
    // Beside the program when its folder holds the file or can be written; otherwise in the
    // user's config folder, which the first save makes from the administrator's file.
    void whereTheFileLives() {
        QTemporaryDir root;
        MemoryUserStore store;
        const QString program = root.filePath("usr/bin"); // not there, so not writable
        const QString user = root.filePath("home/.config/TorvanelClient");
        const QString system = root.filePath("etc/xdg/TorvanelClient");
        const auto at = [](const QString& dir) { return dir + "/TorvanelClient.ini"; };
        const QRect placement(0, 0, 600, 200);

        // The system's program folder is not a portable install, whoever may write there.
        if (!QFileInfo::exists(at(TORVANEL_INSTALL_BINDIR)))
            QCOMPARE(Settings({TORVANEL_INSTALL_BINDIR, {user, system}}, {}, store).iniFilePath(),
                     at(user));
        const QString portable = root.filePath("portable");
        QVERIFY(QDir().mkpath(portable));
        QCOMPARE(Settings({portable, {user, system}}, {}, store).iniFilePath(), at(portable));
        // A file in a folder we may not write is still the administrator's to keep there.
        writeAll(at(portable), "");
        QFile::setPermissions(portable, QFile::ReadOwner | QFile::ExeOwner);
        if (!QFileInfo(portable).isWritable()) // root writes anywhere
            QCOMPARE(Settings({portable, {user, system}}, {}, store).iniFilePath(), at(portable));

        // Nothing from the administrator: the first save makes the folder and the file.
        Settings alone({program, {user, system}}, {}, store);
        alone.ReadSettings();
        QCOMPARE(alone.WriteSettings(placement), QString());
        QVERIFY(readAll(at(user)).contains("H_Port=6767"));
        QVERIFY(QFile::remove(at(user)));

        const QByteArray admin = "; vom Administrator\n[UDPLink]\nH_Port=7000\n";
        QVERIFY(QDir().mkpath(system));
        writeAll(at(system), admin);
        Settings installed({program, {user, system}}, {}, store);
        installed.ReadSettings();
        QCOMPARE(installed.port(), 7000);
        QCOMPARE(installed.iniFilePath(), at(system));
        QCOMPARE(installed.WriteSettings(placement), QString());
        QVERIFY(readAll(at(user)).startsWith(admin));
        QCOMPARE(installed.iniFilePath(), at(user));
        QCOMPARE(readAll(at(system)), admin);

        // An administrator's file that cannot be used: the defaults, a fresh file, and why.
        QVERIFY(QFile::remove(at(user)));
        writeAll(at(system), QByteArray("[UDPLink]\0", 10));
        Settings broken({program, {user, system}}, {}, store);
        broken.ReadSettings();
        QCOMPARE(broken.port(), 6767);
        QVERIFY(broken.WriteSettings(placement).contains(QDir::toNativeSeparators(at(system))));
        QVERIFY(readAll(at(user)).contains("H_Port=6767"));

        // A user folder that cannot be made is told like a program folder we may not write.
        writeAll(root.filePath("home/blocked"), "");
        const QString nowhere = root.filePath("home/blocked/TorvanelClient");
        Settings blocked({program, {nowhere, system}}, {}, store);
        blocked.ReadSettings();
        QVERIFY(blocked.WriteSettings(placement).contains(QDir::toNativeSeparators(at(nowhere))));
    }

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
        // An entry above every header belongs to no section.
        QCOMPARE(profile::setEntry("k=0\n[s]\n", "s", "k", "1"), QByteArray("k=0\n[s]\nk=1\n"));
        // A write builds on the file as it is now (here: deleted meanwhile), without the
        // blanks around the value.
        QTemporaryDir dir;
        const QString path = dir.filePath("t.ini");
        writeAll(path, "[s]\nalt=1\n");
        IniFile ini(path);
        QVERIFY(QFile::remove(path));
        ini.writeString("s", "k", " x ");
        QCOMPARE(readAll(path), made("[s]\nk=x\n"));
        // Names match in any ASCII case, the ends of the alphabet included, and nothing else.
        QVERIFY(profile::sameName("AZaz", "azAZ"));
        QVERIFY(!profile::sameName("Z", "[") && !profile::sameName("z", "Z_"));
    }

    void firstStartUsesDefaultsAndFirstSaveWritesTheFreshFile() {
        Client c;
        Settings& s = c.start();
        QCOMPARE(s.port(), 6767);
        QCOMPARE(s.host(), QStringLiteral("127.0.0.1"));
        QVERIFY(s.inSysTry());
        QCOMPARE(s.placement(), QRect(0, 0, 600, 135));
        QCOMPARE(c.save(), QString());
        QCOMPARE(readAll(c.ini()), made("[UDPLink]\nH_Port=6767\nH_TCPIP=127.0.0.1\n"
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
        QCOMPARE(c.start().port(), read);
        const QByteArray expected =
            firstRun ? "[UDPLink]\nH_Port=" + QByteArray::number(read) +
                           "\nH_TCPIP=127.0.0.1\n[ALLGEMEIN]\nInSysTry=0\nLogoDatei=BMP_klein.bmp\n"
                     : text;
        for (int save = 0; save < 2; ++save) {
            c.setIni(text);
            c.save();
            QCOMPARE(readAll(c.ini()), expected);
        }
    }

    void generalSectionInAnyCaseServesBothSpellingsAndCommentsStay() {
        Client c;
        const QByteArray text = "; von der Technik\n[allgemein]\ninsystry=0\nlogodatei=\n"
                                "; Server im Keller\n[UDPLink]\nH_Port=7000\n";
        c.setIni(text);
        QVERIFY(!c.start().inSysTry());
        QCOMPARE(c.settings->logoFile(), QString());
        c.save();
        QCOMPARE(readAll(c.ini()), text);
        // Any number but 0 is on, and is written back as 1 where the administrator wrote it.
        c.setIni(QByteArray(text).replace("insystry=0", "insystry=7"));
        QVERIFY(c.start().inSysTry());
        c.save();
        QCOMPARE(readAll(c.ini()), QByteArray(text).replace("insystry=0", "insystry=1"));
    }

    void fileInTheAnsiCodePageIsReadAndWrittenInIt() {
        Client c;
        // Saved by an old editor: "Süd" and "Küche" in Windows-1252, no first-run entries due.
        const QByteArray text = "[UDPLinkS\xFC"
                                "d]\nH_Port=7000\nH_TCPIP=k\xFC"
                                "che\n";
        c.setIni(text);
        Settings& s = c.start(QStringLiteral("Süd"));
        QCOMPARE(s.port(), 7000);
        QCOMPARE(s.host(), QStringLiteral("küche"));
        c.save();
        QCOMPARE(readAll(c.ini()), text + "[ALLGEMEIN]\nInSysTry=1\n");
    }

    // Of the four position values, one missing or not a number and none is used.
    void instanceTextSelectsServerSectionAndPositionNames_data() {
        QTest::addColumn<QVariantList>("own");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("whole") << QVariantList{10, 20, 400, 650} << QRect(10, 20, 650, 400);
        QTest::newRow("left and top only") << QVariantList{10, 20} << QRect(0, 0, 600, 135);
        QTest::newRow("not a number") << QVariantList{10, 20, "hoch", 650} << QRect(0, 0, 600, 135);
    }
    void instanceTextSelectsServerSectionAndPositionNames() {
        QFETCH(QVariantList, own);
        QFETCH(QRect, geometry);
        Client c;
        // The host in the Windows code page, as older editors save it, reads as meant.
        c.setIni("[UDPLink]\nH_Port=1\nH_TCPIP=a\n[UDPLink2]\nH_Port=2\nH_TCPIP=B\xFCro\n");
        c.storePosition(QString(), {1, 2, 300, 700});
        c.storePosition(QStringLiteral("2"), own);
        Settings& s = c.start(QStringLiteral("2"));
        QCOMPARE(s.port(), 2);
        QCOMPARE(s.host(), QString::fromUtf8("Büro"));
        QCOMPARE(s.placement(), geometry);
        c.save(QRect(30, 40, 610, 220));
        QCOMPARE(c.position(QStringLiteral("2")), (QVariantList{30, 40, 220, 610}));
        QCOMPARE(c.position(QString()), (QVariantList{1, 2, 300, 700}));
    }

    void aNewFileIsWrittenInUtf8() {
        Client c;
        c.start(QStringLiteral("Süd"));
        QCOMPARE(c.save(), QString());
        QVERIFY(readAll(c.ini()).startsWith(made("[UDPLinkS\xC3\xBC"
                                                 "d]\n")));
    }

    void aLastLineWithoutItsLineEndCounts() {
        Client c;
        c.setIni("[UDPLink]\r\nH_Port=7000");
        QCOMPARE(c.start().port(), 7000);
        c.setIni("[UDPLink]\nH_Port=0");
        c.start();
        QCOMPARE(c.save(), QString());
        QCOMPARE(readAll(c.ini()),
                 QByteArray("[UDPLink]\nH_Port=0\nH_TCPIP=127.0.0.1\n[AllGEMEIN]\n"
                            "LogoDatei=BMP_klein.bmp\nInSysTry=1\n"));
    }

    // Blanks around the command-line text belong to it: "A " and "A" are two instances with
    // a section each, and each reads and writes its own whichever comes first in the file. A
    // blank the administrator put inside the brackets still counts for nothing.
    void blanksAroundTheTextMakeAnInstanceOfItsOwn() {
        Client c;
        const QByteArray text = "[UDPLinkA ]\nH_TCPIP=zwei\n[UDPLinkA]\nH_TCPIP=eins\n"
                                "[ UDPLink A]\nH_TCPIP=drei\n";
        c.setIni(text);
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& [t, host] : {std::pair{"A ", "zwei"}, {"A", "eins"}, {" A", "drei"}}) {
                QCOMPARE(c.start(t).host(), QString::fromLatin1(host));
                QCOMPARE(c.save(), QString());
            }
        }
        QCOMPARE(readAll(c.ini()), QByteArray(text)
                                           .replace("zwei\n", "zwei\nH_Port=6767\n")
                                           .replace("eins\n", "eins\nH_Port=6767\n")
                                           .replace("drei\n", "drei\nH_Port=6767\n") +
                                       "[AllGEMEIN]\nLogoDatei=BMP_klein.bmp\nInSysTry=1\n");
        // In a fresh file the section is made with the blank, and found again.
        c.setIni({});
        c.start(QStringLiteral("A "));
        QCOMPARE(c.save(), QString());
        QVERIFY(readAll(c.ini()).startsWith(made("[UDPLinkA ]\nH_Port=6767\n")));
    }

    // A text that no section line can hold gets the defaults and nothing of its own written;
    // the save says why, and does the rest.
    void aTextThatCannotNameASectionRunsOnTheDefaults_data() {
        QTest::addColumn<QString>("t");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("bracket") << "A]B" << QByteArray("[UDPLinkA]B]\nH_Port=7000\n")
                                 << "enthält \"]\"";
        QTest::newRow("line break")
            << "A\nB" << QByteArray("[UDPLinkA\nB]\nH_Port=7000\n") << "Zeilenumbruch";
        QTest::newRow("control character")
            << "A\x01" << QByteArray("[UDPLinkA\x01]\nH_Port=7000\n") << "Steuerzeichen";
        // "?" stands for what the ANSI code page lacks, and is another instance's text.
        QTest::newRow("beyond the file's code page") << QString::fromUtf8("\u2603")
                                                     << QByteArray("[UDPLink?]\nH_Port=7000\n"
                                                                   "H_TCPIP=K\xFC"
                                                                   "che\n")
                                                     << "Windows-1252";
    }
    void aTextThatCannotNameASectionRunsOnTheDefaults() {
        QFETCH(QString, t);
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        Client c;
        c.setIni(file);
        Settings& s = c.start(t);
        QCOMPARE(s.port(), 6767);
        QCOMPARE(s.host(), QStringLiteral("127.0.0.1"));
        const QString problem = c.save(QRect(1, 2, 610, 220));
        QVERIFY2(problem.contains(why) && problem.contains(QDir::toNativeSeparators(c.ini())),
                 qPrintable(problem));
        QCOMPARE(readAll(c.ini()), file + "[ALLGEMEIN]\nInSysTry=1\n");
        QCOMPARE(c.position(t), (QVariantList{1, 2, 220, 610}));
    }

    // Files as Notepad and the Windows profile functions leave them come back in their own
    // form with only our entry changed; one pair of quotes is not part of a value, and a
    // quoted line that already says what we would write stays as it is.
    void filesInTheirOwnFormWithQuotedValues() {
        const QString admin =
            QStringLiteral("; Süd\r\n[UDPLink]\r\nH_Port=\"7004\"\r\n"
                           "H_TCPIP='10.1.1.1'\r\n[ALLGEMEIN]\r\nInSysTry=\"1\"\r\n");
        const auto utf16 = [](const QString& text) {
            QByteArray bytes("\xFF\xFE");
            for (const QChar c : text)
                bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            return bytes;
        };
        const auto utf8Marked = [](const QString& text) { return "\xEF\xBB\xBF" + text.toUtf8(); };
        using Form = std::function<QByteArray(const QString&)>;
        for (const Form& form : {Form(utf16), Form(utf8Marked)}) {
            Client c;
            c.setIni(form(admin));
            Settings& s = c.start();
            QCOMPARE(s.port(), 7004);
            QCOMPARE(s.host(), QStringLiteral("10.1.1.1"));
            QVERIFY(s.inSysTry());
            QCOMPARE(c.save(), QString());
            QVERIFY(readAll(c.ini()) == form(admin));
            IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", "10.2.2.2");
            QVERIFY(readAll(c.ini()) == form(QString(admin).replace("'10.1.1.1'", "10.2.2.2")));
        }
    }

    void untrustworthyFileReadsAsAbsentAndIsNeverClobbered() {
        const QByteArray binary("[UDPLink]\nH_Port=7000\n\0\x01\xFF\xFE rest", 31);
        const QByteArray huge = "[UDPLink]\nH_Port=7000\n" + QByteArray(IniFile::kMaxSize, ';');
        const QByteArray utf16("\xFE\xFF\0[\0U\0]\0\n", 10);
        const QList<std::pair<QByteArray, const char*>> files{{binary, "enthält Binärdaten"},
                                                              {huge, "ist größer als 1 MiB"},
                                                              {utf16, "ist in UTF-16 Big Endian"}};
        for (const auto& [text, why] : files) {
            Client c;
            c.setIni(text);
            QCOMPARE(c.start().port(), 6767);
            const QString problem = c.save();
            QVERIFY2(problem.contains(QDir::toNativeSeparators(c.ini())) &&
                         problem.contains(QString::fromUtf8(why)),
                     qPrintable(problem));
            QVERIFY(readAll(c.ini()) == text);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"

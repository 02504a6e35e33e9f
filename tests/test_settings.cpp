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

// A file the client makes has the platform's line ends; one it finds keeps its own.
QByteArray made(QByteArray text) {
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

const char* const kPosition[] = {"Left", "Top", "Height", "Width"};

// One instance's settings: the file in the program folder, the user store, the text.
struct Client {
    FakeServices fake;
    std::unique_ptr<Settings> settings;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    Settings& start(const QByteArray& file, const QString& t = {}) {
        writeAll(ini(), file);
        settings =
            std::make_unique<Settings>(SettingsFolders{fake.programDir.path(), {}}, t, fake.store);
        settings->ReadSettings();
        return *settings;
    }
    // Why the first-run entries could not be written; empty when they could.
    QString save(const QRect& placement = QRect(0, 0, 600, 200)) {
        return settings->WriteSettings(placement);
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
        const auto in = [&](const QString& dir, const QString& userDir) {
            Settings s({dir, {userDir, system}}, {}, store);
            s.ReadSettings();
            return s;
        };

        // The system's program folder is not a portable install, whoever may write there.
        if (!QFileInfo::exists(at(TORVANEL_INSTALL_BINDIR)))
            QCOMPARE(in(TORVANEL_INSTALL_BINDIR, user).iniFilePath(), at(user));
        const QString portable = root.filePath("portable");
        QVERIFY(QDir().mkpath(portable));
        QCOMPARE(in(portable, user).iniFilePath(), at(portable));
        // A file in a folder we may not write is still the administrator's to keep there.
        writeAll(at(portable), "");
        QFile::setPermissions(portable, QFile::ReadOwner | QFile::ExeOwner);
        if (!QFileInfo(portable).isWritable()) // root writes anywhere
            QCOMPARE(in(portable, user).iniFilePath(), at(portable));

        // Nothing from the administrator: the first save makes the folder and the file.
        QCOMPARE(in(program, user).WriteSettings({}), QString());
        QVERIFY(readAll(at(user)).contains("H_Port=6767"));
        QVERIFY(QFile::remove(at(user)));

        const QByteArray admin = "; vom Administrator\n[UDPLink]\nH_Port=7000\n";
        QVERIFY(QDir().mkpath(system));
        writeAll(at(system), admin);
        Settings installed = in(program, user);
        QCOMPARE(installed.port(), 7000);
        QCOMPARE(installed.WriteSettings({}), QString());
        QVERIFY(readAll(at(user)).startsWith(admin));
        QCOMPARE(installed.iniFilePath(), at(user));
        QCOMPARE(readAll(at(system)), admin);

        // An administrator's file that cannot be used: the defaults, a fresh file, and why.
        QVERIFY(QFile::remove(at(user)));
        writeAll(at(system), QByteArray("[UDPLink]\0", 10));
        QVERIFY(in(program, user).WriteSettings({}).contains(QDir::toNativeSeparators(at(system))));
        QVERIFY(readAll(at(user)).contains("H_Port=6767"));

        // A user folder that cannot be made is told like a program folder we may not write.
        writeAll(root.filePath("home/blocked"), "");
        const QString nowhere = root.filePath("home/blocked/TorvanelClient");
        QVERIFY(
            in(program, nowhere).WriteSettings({}).contains(QDir::toNativeSeparators(at(nowhere))));
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

    // What a pass reads ("port|host|tray|logo"), what its save leaves in the file and why it
    // could not write the entries a fresh file has. A port that is no number or 0 marks a file
    // never set up: the save adds those entries.
    void readAndSaved_data() {
        QTest::addColumn<QString>("t");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("why");
        const auto row = [](const char* name, const QString& t, const QByteArray& file,
                            const QString& read, const QByteArray& saved, const char* why = "") {
            QTest::newRow(name) << t << file << read << saved << QString::fromUtf8(why);
        };
        const QByteArray fresh = "H_TCPIP=127.0.0.1\n[AllGEMEIN]\nLogoDatei=BMP_klein.bmp\n"
                                 "InSysTry=1\n";
        const QByteArray off = "[ALLGEMEIN]\nInSysTry=0\n";
        // A new file is UTF-8; a blank at the end of the text is part of the section's name.
        row("no file", "Süd ", "", "6767|127.0.0.1|1|BMP_klein.bmp",
            made("[UDPLinkSüd ]\nH_Port=6767\n" + fresh));
        row("beyond ports", {}, off + "[UDPLink]\nH_Port=70000\n",
            "70000|127.0.0.1|0|BMP_klein.bmp", off + "[UDPLink]\nH_Port=70000\n");
        // The last line lacks its line end, and the general section is there already.
        row("zero", {}, off + "[UDPLink]\nH_Port=0", "0|127.0.0.1|0|BMP_klein.bmp",
            off + "LogoDatei=BMP_klein.bmp\n[UDPLink]\nH_Port=0\nH_TCPIP=127.0.0.1\n");
        row("trailing text", {}, "[UDPLink]\nH_Port=6767xyz\n", "6767|127.0.0.1|1|BMP_klein.bmp",
            "[UDPLink]\nH_Port=6767\n" + fresh);
        // The general section in any case serves both spellings, and comments stay. Any number
        // but 0 is on, and is written back as 1 where the administrator wrote it.
        const QByteArray general = "; von der Technik\n[allgemein]\ninsystry=7\nlogodatei=\n"
                                   "; Server im Keller\n[UDPLink]\nH_Port=7000\n";
        row("general section", {}, general, "7000|127.0.0.1|1|",
            QByteArray(general).replace("=7\n", "=1\n"));
        // Saved by an old editor in Windows-1252, names and values alike.
        const QByteArray ansi = "[UDPLink]\nH_Port=1\n[UDPLinkS\xFC"
                                "d]\nH_Port=7000\nH_TCPIP=k\xFC"
                                "che\n";
        row("ANSI code page", "Süd", ansi, "7000|küche|1|BMP_klein.bmp",
            ansi + "[ALLGEMEIN]\nInSysTry=1\n");
        // "A " and "A" are two instances with a section each, whichever comes first; a blank
        // the administrator put inside the brackets still counts for nothing.
        const QByteArray blanks = "[UDPLinkA ]\nH_TCPIP=zwei\n[UDPLinkA]\nH_TCPIP=eins\n"
                                  "[ UDPLink A]\nH_TCPIP=drei\n";
        for (const auto& [t, host] : {std::pair{"A ", "zwei"}, {"A", "eins"}, {" A", "drei"}})
            row(t, t, blanks, QStringLiteral("6767|%1|1|BMP_klein.bmp").arg(host),
                QByteArray(blanks).replace(host + QByteArray("\n"),
                                           host + QByteArray("\nH_Port=6767\n")) +
                    "[AllGEMEIN]\nLogoDatei=BMP_klein.bmp\nInSysTry=1\n");
        // A text that no section line can hold gets the defaults and nothing of its own
        // written; the save says why, and does the rest. "?" stands for what the ANSI code page
        // lacks, and is another instance's text.
        for (const auto& [t, why] : {std::pair{"A]B", "enthält \"]\""},
                                     {"A\nB", "Zeilenumbruch"},
                                     {"A\x01", "Steuerzeichen"},
                                     {"\u2603", "Windows-1252"}}) {
            const QByteArray file = "[UDPLink" + QByteArray(t).replace("\u2603", "?") +
                                    "]\nH_Port=7000\nH_TCPIP=K\xFC"
                                    "che\n";
            row(why, t, file, "6767|127.0.0.1|1|BMP_klein.bmp", file + "[ALLGEMEIN]\nInSysTry=1\n",
                why);
        }
    }
    void readAndSaved() {
        QFETCH(QString, t);
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        Client c;
        const Settings& s = c.start(file, t);
        QTEST(QStringList({QString::number(s.port()), s.host(), QString::number(s.inSysTry()),
                           s.logoFile()})
                  .join(u'|'),
              "read");
        const QString problem = c.save(QRect(1, 2, 610, 220));
        QVERIFY2(why.isEmpty()
                     ? problem.isEmpty()
                     : problem.contains(why) && problem.contains(QDir::toNativeSeparators(c.ini())),
                 qPrintable(problem));
        QTEST(readAll(c.ini()), "saved");
        QCOMPARE(c.position(t), (QVariantList{1, 2, 220, 610}));
    }

    // The window's place is kept under names that end in the text; of the four values, one
    // missing and none is used.
    void placementIsTheTextsOwn() {
        Client c;
        const QVariantList others{1, 2, 300, 700}, own{10, 20, 400, 650};
        for (int i = 0; i < 4; ++i) {
            c.fake.store.values.insert(QStringLiteral("Position/") + kPosition[i], others[i]);
            c.fake.store.values.insert(QStringLiteral("Position/") + kPosition[i] + "2", own[i]);
        }
        QCOMPARE(c.start({}, QStringLiteral("2")).placement(), QRect(10, 20, 650, 400));
        c.save(QRect(30, 40, 610, 220));
        QCOMPARE(c.position(QStringLiteral("2")), (QVariantList{30, 40, 220, 610}));
        QCOMPARE(c.position(QString()), others);
        c.fake.store.values.remove(QStringLiteral("Position/Height2"));
        QCOMPARE(c.settings->placement(), QRect(0, 0, 600, 135));
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
            Settings& s = c.start(form(admin));
            QCOMPARE(s.port(), 7004);
            QCOMPARE(s.host(), QStringLiteral("10.1.1.1"));
            c.save();
            QVERIFY(readAll(c.ini()) == form(admin));
            IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", "10.2.2.2");
            QVERIFY(readAll(c.ini()) == form(QString(admin).replace("'10.1.1.1'", "10.2.2.2")));
        }
    }

    void untrustworthyFileReadsAsAbsentAndIsNeverClobbered() {
        const QByteArray binary("[UDPLink]\nH_Port=7000\n\0\x01\xFF\xFE rest", 31);
        const QByteArray huge = "[UDPLink]\nH_Port=7000\n" + QByteArray(IniFile::kMaxSize, ';');
        const QByteArray utf16("\xFE\xFF\0[\0U\0]\0\n", 10);
        const QByteArray zeroLe("\xFF\xFE[\0\0\0", 6); // UTF-16 LE holding a binary zero
        const QList<std::pair<QByteArray, const char*>> files{{binary, "enthält Binärdaten"},
                                                              {zeroLe, "enthält Binärdaten"},
                                                              {huge, "ist größer als 1 MiB"},
                                                              {utf16, "ist in UTF-16 Big Endian"}};
        for (const auto& [text, why] : files) {
            Client c;
            QCOMPARE(c.start(text).port(), 6767);
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

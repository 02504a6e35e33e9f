#include "FakeServices.h"
#include "core/settings/IniFile.h"
#include "core/settings/ProfileText.h"
#include "core/settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

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

QByteArray made(QByteArray text) {
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

#ifdef Q_OS_LINUX
// Root may write any file, so what an ordinary user meets is tried as nobody: the real and
// effective ids are nobody's while this lives, the saved ones stay root's to go back to.
struct AsOrdinaryUser {
    const bool wasRoot = ::geteuid() == 0;
    bool ok = !wasRoot || (::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0);
    ~AsOrdinaryUser() {
        if (wasRoot && (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0))
            qFatal("cannot return to root");
    }
};
#else
struct AsOrdinaryUser {
    bool ok = true;
};
#endif

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
    QString save() { return settings->WriteSettings(QRect(1, 2, 610, 220)); }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    // Beside the program if it may write there, else the user's copy of the administrator's.
    void whereTheFileLives() {
        QTemporaryDir root;
        MemoryUserStore store;
        const QString user = root.filePath("home/.config/TorvanelClient");
        const QString system = root.filePath("etc/xdg/TorvanelClient");
        const auto at = [](const QString& dir) { return dir + "/TorvanelClient.ini"; };
        const auto in = [&](const QString& dir) {
            Settings s({dir, {user, system}}, {}, store);
            s.ReadSettings();
            return s;
        };
        QCOMPARE(in(root.path()).iniFilePath(), at(root.path()));

        const QByteArray admin = "; vom Administrator\n[UDPLink]\nH_Port=7000\n";
        QVERIFY(QDir().mkpath(system));
        writeAll(at(system), admin);
        Settings installed = in(root.filePath("usr/bin")); // not there, so not writable
        QCOMPARE(installed.WriteSettings({}), QString());
        QCOMPARE(installed.iniFilePath(), at(user));
        QVERIFY(readAll(at(user)).startsWith(admin));
        QCOMPARE(readAll(at(system)), admin);
    }

    // The administrator's file is often read-only; the user's copy of it must take every save,
    // of this instance and of others that share the file.
    void theUsersCopyOfAReadOnlyFileCanBeWritten() {
        const AsOrdinaryUser user;
        QVERIFY(user.ok);
        QTemporaryDir root;
        MemoryUserStore store;
        const QString system = root.filePath("etc/xdg/TorvanelClient");
        const QString seed = system + "/TorvanelClient.ini";
        QVERIFY(QDir().mkpath(system));
        writeAll(seed, "; vom Administrator\n");
        QVERIFY(
            QFile::setPermissions(seed, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QString home = root.filePath("home/.config/TorvanelClient");
        const QString copy = home + "/TorvanelClient.ini";
        const SettingsFolders folders{root.filePath("usr/bin"), {home, system}};
        Settings first(folders, {}, store);
        first.ReadSettings();
        QCOMPARE(first.WriteSettings({}), QString());
        QVERIFY(QFile::permissions(copy) & QFile::WriteOwner);
        // The copy keeps the administrator's line ends.
        QVERIFY(readAll(copy).contains("[UDPLink]\nH_Port=6767\n"));
        Settings second(folders, QStringLiteral("Süd"), store);
        second.ReadSettings();
        QCOMPARE(second.WriteSettings({}), QString());
        QVERIFY(readAll(copy).contains("[UDPLinkSüd]\nH_Port=6767\n"));
    }

    void entryEditLeavesEveryOtherByte() {
        const QByteArray admin = "; Technik\r\n[allgemein]\r\n  insystry =  0 \r\nFarbe=blau\r\n"
                                 "\r\n; Server im Keller\r\n[UDPLink]\r\nH_Port=7000\r\n";
        const QByteArray edited = profile::setEntry(admin, "ALLGEMEIN", "InSysTry", "1");
        QCOMPARE(
            profile::setEntry(edited, "AllGEMEIN", "Logo", "l.bmp"),
            QByteArray(admin).replace(" 0 ", " 1").replace("blau\r\n", "blau\r\nLogo=l.bmp\r\n"));
        // A key written twice: the one that is read is the one edited.
        const QByteArray twice = "[S]\nK=1\nK=2\n";
        QCOMPARE(profile::value(twice, "S", "K"), std::optional<QByteArray>("1"));
        QCOMPARE(profile::setEntry(twice, "S", "K", "3"), QByteArray("[S]\nK=3\nK=2\n"));
    }

    // What a pass reads ("port|host|tray|logo") and what its save leaves in the file.
    void readAndSaved() {
        const auto check = [](const QString& t, const QByteArray& file, const QString& read,
                              const QByteArray& saved) {
            Client c;
            const Settings& s = c.start(file, t);
            QCOMPARE(QStringList({QString::number(s.port()), s.host(),
                                  QString::number(s.inSysTry()), s.logoFile()})
                         .join(u'|'),
                     read);
            QCOMPARE(c.save(), QString());
            QCOMPARE(readAll(c.ini()), saved);
        };
        // A new file: UTF-8, a first run's entries, a trailing blank kept in the section.
        check("Süd ", {}, "6767|127.0.0.1|1|BMP_klein.bmp",
              made("[UDPLinkSüd ]\nH_Port=6767\nH_TCPIP=127.0.0.1\n[AllGEMEIN]\n"
                   "LogoDatei=BMP_klein.bmp\nInSysTry=1\n"));
        // Windows-1252 from an old editor, names and values alike.
        const QByteArray ansi = "[UDPLink]\nH_Port=1\n[UDPLinkS\xFC"
                                "d]\nH_Port=7000\nH_TCPIP=k\xFC"
                                "che\n";
        check("Süd", ansi, "7000|küche|1|BMP_klein.bmp", ansi + "[ALLGEMEIN]\nInSysTry=1\n");
    }

    // A command-line text that cannot name a section runs on the defaults and says why; a tab
    // may name one.
    void aTextThatCannotNameASectionSaysWhy() {
        const QByteArray ansi = "[UDPLink]\nH_Port=7000\n[UDPLinka\tS\xFC"
                                "d]\nH_Port=7001\n";
        const QList<std::pair<QString, const char*>> texts{
            {"a]b", "enthält \"]\""},
            {"a\rb", "enthält einen Zeilenumbruch"},
            {"a\x01", "enthält ein Steuerzeichen"},
            {"a\x7F", "enthält ein Steuerzeichen"},
            {QStringLiteral("a\u2603"), "(Windows-1252) nicht fassen kann"}};
        for (const auto& [text, why] : texts) {
            Client c;
            QCOMPARE(c.start(ansi, text).port(), 6767);
            const QString problem = c.save();
            QVERIFY2(problem.contains(QString::fromUtf8(why)), qPrintable(problem));
        }
        Client tab;
        QCOMPARE(tab.start(ansi, QStringLiteral("a\tSüd")).port(), 7001);
        QCOMPARE(tab.save(), QString());
    }

    // A placement is taken whole or not at all.
    void aPartOfAPlacementIsNotTaken() {
        Client c;
        const Settings& s = c.start({});
        const QRect preset = s.placement();
        for (const char* key : {"Position/Left", "Position/Top", "Position/Height"})
            c.fake.store.values.insert(key, 5);
        QCOMPARE(s.placement(), preset);
        c.fake.store.values.insert("Position/Width", 700);
        QCOMPARE(s.placement(), QRect(5, 5, 700, 5));
    }

    // UTF-16 LE with its mark comes back so, only our entry changed; quotes are no part of values.
    void utf16FileKeepsItsFormWithQuotedValues() {
        const QString admin =
            QStringLiteral("; Süd\r\n[UDPLink]\r\nH_Port=\"7004\"\r\n"
                           "H_TCPIP='10.1.1.1'\r\n[ALLGEMEIN]\r\nInSysTry=\"1\"\r\n");
        const auto utf16 = [](const QString& text) {
            QByteArray bytes("\xFF\xFE");
            for (const QChar c : text)
                bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            return bytes;
        };
        Client c;
        Settings& s = c.start(utf16(admin));
        QCOMPARE(s.port(), 7004);
        QCOMPARE(s.host(), QStringLiteral("10.1.1.1"));
        c.save();
        QVERIFY(readAll(c.ini()) == utf16(admin));
        QCOMPARE(IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", "10.2.2.2"), QString());
        QVERIFY(readAll(c.ini()) == utf16(QString(admin).replace("'10.1.1.1'", "10.2.2.2")));
        // A line break would end the entry and begin another: refused, the file untouched.
        for (const char* broken : {"10.3.3.3\nH_Port=1", "10.3.3.3\rH_Port=1"})
            QVERIFY(!IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", broken).isEmpty());
        QVERIFY(readAll(c.ini()) == utf16(QString(admin).replace("'10.1.1.1'", "10.2.2.2")));
    }

    void untrustworthyFileReadsAsAbsentAndIsNeverClobbered() {
        const QByteArray binary("[UDPLink]\nH_Port=7000\n\0\x01\xFF\xFE rest", 31);
        const QByteArray utf16("\xFE\xFF\0[\0U\0]\0\n", 10);
        const QByteArray utf16Binary("\xFF\xFE[\0U\0]\0\0\0", 10);
        const QList<std::pair<QByteArray, const char*>> files{{binary, "enthält Binärdaten"},
                                                              {utf16, "ist in UTF-16 Big Endian"},
                                                              {utf16Binary, "enthält Binärdaten"}};
        for (const auto& [text, why] : files) {
            Client c;
            QCOMPARE(c.start(text).port(), 6767);
            const QString problem = c.save();
            QVERIFY2(problem.contains(QDir::toNativeSeparators(c.ini())), qPrintable(problem));
            QVERIFY2(problem.contains(QString::fromUtf8(why)), qPrintable(problem));
            QVERIFY(readAll(c.ini()) == text);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"

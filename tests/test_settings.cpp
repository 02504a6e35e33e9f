#include "FakeServices.h"
#include "core/settings/IniFile.h"
#include "core/settings/ProfileText.h"
#include "core/settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
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
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QByteArray made(QByteArray text) {
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

// As Notepad's "Unicode" writes it: UTF-16 LE with its mark.
QByteArray utf16(const QString& text) {
    return QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(text);
}

const QString kQuoted = QStringLiteral("; Süd\r\n[UDPLink]\r\nH_Port=\"7004\"\r\n"
                                       "H_TCPIP='10.1.1.1'\r\n[ALLGEMEIN]\r\nInSysTry=\"1\"\r\n");

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
    // Beside the program if it may write there, else the user's copy of the administrator's
    // file. His is often read-only; the copy must take every save, of this instance and of
    // others that share it, in his line ends.
    void whereTheFileLives() {
        const AsOrdinaryUser user;
        QVERIFY(user.ok);
        QTemporaryDir root;
        MemoryUserStore store;
        const QString home = root.filePath("home/.config/TorvanelClient");
        const QString system = root.filePath("etc/xdg/TorvanelClient");
        const auto savedIn = [&](const QString& program, const QString& t = {}) {
            Settings s({program, {home, system}}, t, store);
            s.ReadSettings();
            const QString problem = s.WriteSettings({});
            return problem.isEmpty() ? s.iniFilePath() : problem;
        };
        QCOMPARE(savedIn(root.path()), root.filePath("TorvanelClient.ini"));
        const QByteArray admin = "; vom Administrator\n[UDPLink]\nH_Port=7000\n";
        const QString seed = system + "/TorvanelClient.ini", copy = home + "/TorvanelClient.ini";
        QVERIFY(QDir().mkpath(system));
        writeAll(seed, admin);
        QVERIFY(
            QFile::setPermissions(seed, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QString installed = root.filePath("usr/bin"); // not there, so not writable
        QCOMPARE(savedIn(installed), copy);
        QCOMPARE(savedIn(installed, QStringLiteral("Süd")), copy);
        QCOMPARE(readAll(seed), admin);
        QCOMPARE(readAll(copy), admin + "[ALLGEMEIN]\nInSysTry=1\nLogoDatei=BMP_klein.bmp\n"
                                        "[UDPLinkSüd]\nH_Port=6767\nH_TCPIP=127.0.0.1\n");
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
        // UTF-16 comes back as it was; quotes are no part of values.
        check({}, utf16(kQuoted), "7004|10.1.1.1|1|BMP_klein.bmp", utf16(kQuoted));
    }

    // An edit keeps UTF-16; a line break would end the entry and begin another: refused.
    void aUtf16FileIsEditedInItsForm() {
        Client c;
        c.start(utf16(kQuoted));
        QCOMPARE(IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", "10.2.2.2"), QString());
        const QByteArray edited = utf16(QString(kQuoted).replace("'10.1.1.1'", "10.2.2.2"));
        QCOMPARE(readAll(c.ini()), edited);
        for (const char* broken : {"10.3.3.3\nH_Port=1", "10.3.3.3\rH_Port=1"})
            QVERIFY(!IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", broken).isEmpty());
        QCOMPARE(readAll(c.ini()), edited);
    }

    // An untrustworthy file reads as absent and is never clobbered; a command-line text that
    // cannot name a section runs on the defaults, though a tab may name one. Both say why,
    // naming the file.
    void whatCannotBeUsedSaysWhy() {
        const QByteArray ansi = "[UDPLink]\nH_Port=7000\n[UDPLinka\tS\xFC"
                                "d]\nH_Port=7001\n[ALLGEMEIN]\nInSysTry=1\n";
        const std::tuple<QByteArray, QString, const char*> cases[] = {
            {ansi, "a]b", "enthält \"]\""},
            {ansi, "a\rb", "enthält einen Zeilenumbruch"},
            {ansi, "a\x01", "enthält ein Steuerzeichen"},
            {ansi, "a\x7F", "enthält ein Steuerzeichen"},
            {ansi, QStringLiteral("a\u2603"), "(Windows-1252) nicht fassen kann"},
            {QByteArray("[UDPLink]\nH_Port=7000\n\0", 23), {}, "enthält Binärdaten"},
            {QByteArray("\xFE\xFF\0[\0U\0]\0\n", 10), {}, "ist in UTF-16 Big Endian"},
            {QByteArray("\xFF\xFE[\0U\0]\0\0\0", 10), {}, "enthält Binärdaten"}};
        for (const auto& [file, text, why] : cases) {
            Client c;
            QCOMPARE(c.start(file, text).port(), 6767);
            const QString problem = c.save();
            QVERIFY2(problem.contains(QDir::toNativeSeparators(c.ini())) &&
                         problem.contains(QString::fromUtf8(why)),
                     qPrintable(problem));
            QCOMPARE(readAll(c.ini()), file);
        }
        Client tab;
        QCOMPARE(tab.start(ansi, QStringLiteral("a\tSüd")).port(), 7001);
        QCOMPARE(tab.save(), QString());
    }

    // A placement is taken whole or not at all.
    void aPartOfAPlacementIsNotTaken() {
        Client c;
        const Settings& s = c.start({});
        for (const char* key : {"Position/Left", "Position/Top", "Position/Height"})
            c.fake.store.values.insert(key, 5);
        QCOMPARE(s.placement(), QRect(0, 0, 600, 135));
        c.fake.store.values.insert("Position/Width", 700);
        QCOMPARE(s.placement(), QRect(5, 5, 700, 5));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"

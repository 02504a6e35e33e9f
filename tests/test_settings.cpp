#include "FakeServices.h"
#include "Files.h"
#include "core/settings/IniFile.h"
#include "core/settings/ProfileText.h"
#include "core/settings/Settings.h"

#include <QDir>
#include <QStringEncoder>
#include <memory>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace {

// As Notepad's "Unicode" writes it: UTF-16 LE with its mark.
QByteArray utf16(const QString& text) {
    return QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(text);
}

const QString kQuoted = QStringLiteral("; Süd €\r\n[UDPLink]\r\nH_Port=\"7004\"\r\n"
                                       "H_TCPIP='10.1.1.1'\r\n[ALLGEMEIN]\r\nInSysTry=\"1\"\r\n");

// Root may write any file, so what an ordinary user meets is tried as nobody: the real and
// effective ids are nobody's while this lives, the saved ones stay root's to go back to.
struct AsOrdinaryUser {
#ifdef Q_OS_LINUX
    const bool wasRoot = ::geteuid() == 0;
    bool ok = !wasRoot || (::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0);
    ~AsOrdinaryUser() {
        if (wasRoot && (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0))
            qFatal("cannot return to root");
    }
#else
    bool ok = true;
#endif
};

struct Client {
    FakeServices fake;
    std::unique_ptr<Settings> settings;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    // What a pass reads from `file`: "port|host|tray|logo".
    QString read(const QByteArray& file, const QString& t = {}) {
        writeFile(ini(), file);
        settings =
            std::make_unique<Settings>(SettingsFolders{fake.programDir.path(), {}}, t, fake.store);
        settings->ReadSettings();
        const Settings& s = *settings;
        return QStringLiteral("%1|%2|%3|%4")
            .arg(QString::number(s.port()), s.host(), QString::number(s.inSysTry()), s.logoFile());
    }
};

// A pass: what it reads, why its save fails (naming the file), what it leaves in the file
// (empty: the file as it was).
struct Pass {
    QString t;
    QByteArray file;
    QString read;
    const char* why = "";
    QByteArray saved = {};
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
        const QString installed = root.filePath("usr/bin"); // not there, so not writable
        writeFile(seed, QByteArray("[U]\0", 4)); // his unusable: named, ours on the defaults
        QCOMPARE(savedIn(installed), "Die Einstellungsdatei \"" + QDir::toNativeSeparators(seed) +
                                         "\" kann nicht verwendet werden, denn sie enthält "
                                         "Binärdaten. Es gelten die Voreinstellungen !");
        QVERIFY(QFile::remove(copy));
        writeFile(seed, admin);
        QVERIFY(QFile::setPermissions(seed, QFile::ReadOwner));
        QCOMPARE(savedIn(installed), copy);
        QCOMPARE(savedIn(installed, QStringLiteral("Süd")), copy);
        QCOMPARE(fileBytes(copy), admin + "[ALLGEMEIN]\nInSysTry=1\nLogoDatei=BMP_klein.bmp\n"
                                          "[UDPLinkSüd]\nH_Port=6767\nH_TCPIP=127.0.0.1\n");
    }

    void entryEditLeavesEveryOtherByte() {
        // Comments and a line without a key are no entries: a new entry goes after the last.
        const QByteArray admin =
            "; Technik\r\n[allgemein]\r\n insystry =  0 \r\nFarbe=blau\r\n"
            "\r\n; Server=Keller\r\n# H_Port=6000\r\n=6001\r\n[UDPLink]\r\nH_Port=7000\r\n";
        const QByteArray edited = profile::setEntry(admin, "ALLGEMEIN", "InSysTry", "1");
        QCOMPARE(
            profile::setEntry(edited, "AllGEMEIN", "Logo", "l.bmp"),
            QByteArray(admin).replace(" 0 ", " 1").replace("blau\r\n", "blau\r\nLogo=l.bmp\r\n"));
        // A key written twice: the one that is read is the one edited.
        const QByteArray twice = "[S]\nK=1\nK=2\n";
        QCOMPARE(profile::value(twice, "S", "K"), std::optional<QByteArray>("1"));
        QCOMPARE(profile::setEntry(twice, "S", "K", "3"), QByteArray("[S]\nK=3\nK=2\n"));
        // Blanks around a section's name are no part of it, unless a header spells it exactly.
        QCOMPARE(
            (QList<std::optional<QByteArray>>{profile::value("[ S ]\nK=1\n", "S", "K"),
                                              profile::value("[ S ]\nK=1\n[S]\nK=2\n", "S", "K")}),
            (QList<std::optional<QByteArray>>{"1", "2"}));
        // A last line without its line end, as editors leave it.
        QCOMPARE(profile::setEntry("[S]\r\nA=1", "S", "K", "3"),
                 QByteArray("[S]\r\nA=1\r\nK=3\r\n"));
    }

    // A new file is UTF-8 with a first run's entries, any character and a trailing blank kept in
    // the section's name; Windows-1252 from an old editor is read and written so, names and values
    // alike; UTF-16 comes back as it was, and quotes are no part of values. An untrustworthy file
    // reads as absent and is never clobbered; a command-line text that cannot name a section
    // runs on the defaults, though a tab may name one.
    void readAndSaved() {
        const QByteArray ansi =
            "[UDPLink]\nH_Port=1\n[UDPLinkS\374d]\nH_Port=7000\nH_TCPIP=k\374che\n"
            "[UDPLinka\tS\374d]\nH_Port=7001\n";
        QByteArray fresh("[UDPLinkSüd☃ ]\nH_Port=6767\nH_TCPIP=127.0.0.1\n[AllGEMEIN]\n"
                         "LogoDatei=BMP_klein.bmp\nInSysTry=1\n");
#ifdef Q_OS_WIN
        fresh.replace("\n", "\r\n");
#endif
        const QString defaults = "6767|127.0.0.1|1|BMP_klein.bmp";
        const QByteArray tray = "[ALLGEMEIN]\nInSysTry=1\n";
        const Pass passes[] = {
            {"Süd☃ ", {}, defaults, "", fresh},
            {"Süd", ansi, "7000|küche|1|BMP_klein.bmp", "", ansi + tray},
            {"a\tSüd", ansi + tray, "7001|127.0.0.1|1|BMP_klein.bmp"},
            {{}, utf16(kQuoted), "7004|10.1.1.1|1|BMP_klein.bmp"},
            {"Süd", utf16(kQuoted), defaults, "",
             utf16(kQuoted + "LogoDatei=BMP_klein.bmp\r\n[UDPLinkSüd]\r\nH_Port=6767\r\n"
                             "H_TCPIP=127.0.0.1\r\n")},
            {"a]b", ansi + tray, defaults, "enthält \"]\""},
            {"a\rb", ansi + tray, defaults, "enthält einen Zeilenumbruch"},
            {"a\x01", ansi + tray, defaults, "enthält ein Steuerzeichen"},
            {"a\x7F", ansi + tray, defaults, "enthält ein Steuerzeichen"},
            {QStringLiteral("a\u2603"), ansi + tray, defaults, "(Windows-1252) nicht fassen kann"},
            {{}, QByteArray("[UDPLink]\nH_Port=7000\n\0", 23), defaults, "enthält Binärdaten"},
            {{}, QByteArray("\xFE\xFF\0[\0U\0]\0\n", 10), defaults, "ist in UTF-16 Big Endian"},
            {{}, utf16(kQuoted).chopped(1), defaults, "ist kein gültiges UTF-16"},
            {{}, QByteArray("\xFF\xFE[\0U\0]\0\0\0", 10), defaults, "enthält Binärdaten"}};
        for (const Pass& p : passes) {
            Client c;
            QCOMPARE(c.read(p.file, p.t), p.read);
            const QString problem = c.settings->WriteSettings(QRect(1, 2, 610, 220));
            QVERIFY2(*p.why ? problem.contains(QDir::toNativeSeparators(c.ini())) &&
                                  problem.contains(QString::fromUtf8(p.why))
                            : problem.isEmpty(),
                     qPrintable(problem));
            QCOMPARE(problem.trimmed(), problem); // no blank line atop the box
            // A line break in a value would end the entry and begin another.
            for (const char* broken : {"x\nH_Port=1", "x\rH_Port=1"})
                QVERIFY(IniFile(c.ini()).writeString("UDPLink", "X", broken).contains("umbruch"));
            QCOMPARE(fileBytes(c.ini()), p.saved.isEmpty() ? p.file : p.saved);
        }
        Client c; // quotes around nothing are an empty value, not two quote marks
        writeFile(c.ini(), "[S]\nK=\"\"\n");
        QCOMPARE(IniFile(c.ini()).readString("S", "K", "x"), QString());
    }

    // A placement is taken whole or not at all (whole: the window's test).
    void aPartOfAPlacementIsNotTaken() {
        Client c;
        c.read({});
        for (const char* key : {"Position/Left", "Position/Top", "Position/Height"})
            c.fake.store.values.insert(key, 5);
        QCOMPARE(c.settings->placement(), QRect(0, 0, 600, 135));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"

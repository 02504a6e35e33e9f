#include "FakeServices.h"
#include "settings/IniFile.h"
#include "settings/ProfileText.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QTest>
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
    // Why the save could not write the file as it should; empty when it could.
    QString save() { return settings->WriteSettings(QRect(1, 2, 610, 220)); }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    // Beside the program when its folder can be written; otherwise in the user's config
    // folder, which the first save makes from the administrator's file, leaving that alone.
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
        // A write builds on the file as it is now (here: deleted meanwhile).
        QTemporaryDir dir;
        const QString path = dir.filePath("t.ini");
        writeAll(path, "[s]\nalt=1\n");
        IniFile ini(path);
        QVERIFY(QFile::remove(path));
        ini.writeString("s", "k", " x ");
        QCOMPARE(readAll(path), made("[s]\nk=x\n"));
    }

    // What a pass reads ("port|host|tray|logo"), what its save leaves in the file and why it
    // could not write all of it. A port of 0 marks a file never set up: the save adds the
    // entries a fresh file has.
    void readAndSaved_data() {
        QTest::addColumn<QString>("t");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("why");
        const QByteArray off = "[ALLGEMEIN]\nInSysTry=0\n";
        // A new file is UTF-8; a blank at the end of the text is part of the section's name.
        QTest::newRow("no file") << "Süd " << QByteArray() << "6767|127.0.0.1|1|BMP_klein.bmp"
                                 << made("[UDPLinkSüd ]\nH_Port=6767\nH_TCPIP=127.0.0.1\n"
                                         "[AllGEMEIN]\nLogoDatei=BMP_klein.bmp\nInSysTry=1\n")
                                 << QString();
        // The last line lacks its line end, and the general section is there already.
        QTest::newRow("zero")
            << QString() << off + "[UDPLink]\nH_Port=0"
            << "0|127.0.0.1|0|BMP_klein.bmp"
            << off + "LogoDatei=BMP_klein.bmp\n[UDPLink]\nH_Port=0\nH_TCPIP=127.0.0.1\n"
            << QString();
        // Saved by an old editor in Windows-1252, names and values alike.
        const QByteArray ansi = "[UDPLink]\nH_Port=1\n[UDPLinkS\xFC"
                                "d]\nH_Port=7000\nH_TCPIP=k\xFC"
                                "che\n";
        QTest::newRow("ANSI code page")
            << "Süd" << ansi << "7000|küche|1|BMP_klein.bmp" << ansi + "[ALLGEMEIN]\nInSysTry=1\n"
            << QString();
        // A text no section line can hold gets the defaults and nothing of its own written.
        const QByteArray other = "[UDPLinkA]B]\nH_Port=7000\n";
        QTest::newRow("bracket") << "A]B" << other << "6767|127.0.0.1|1|BMP_klein.bmp"
                                 << other + "[ALLGEMEIN]\nInSysTry=1\n"
                                 << "enthält \"]\"";
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
        const QString problem = c.save();
        QVERIFY2(why.isEmpty()
                     ? problem.isEmpty()
                     : problem.contains(why) && problem.contains(QDir::toNativeSeparators(c.ini())),
                 qPrintable(problem));
        QTEST(readAll(c.ini()), "saved");
    }

    // The window's place is kept under names that end in the text, apart from other texts'.
    void placementIsTheTextsOwn() {
        Client c;
        auto& values = c.fake.store.values;
        values.insert(QStringLiteral("Position/Left"), 5);
        for (const auto& [name, v] :
             {std::pair{"Left2", 10}, {"Top2", 20}, {"Height2", 400}, {"Width2", 650}})
            values.insert(QStringLiteral("Position/") + name, v);
        QCOMPARE(c.start({}, QStringLiteral("2")).placement(), QRect(10, 20, 650, 400));
        c.save();
        QCOMPARE(values.value(QStringLiteral("Position/Left2")), QVariant(1));
        QCOMPARE(values.value(QStringLiteral("Position/Height2")), QVariant(220));
        QCOMPARE(values.value(QStringLiteral("Position/Left")), QVariant(5));
    }

    // A UTF-16 file as Notepad leaves it comes back in its own form with only our entry
    // changed; one pair of quotes is not part of a value.
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
        IniFile(c.ini()).writeString("UDPLink", "H_TCPIP", "10.2.2.2");
        QVERIFY(readAll(c.ini()) == utf16(QString(admin).replace("'10.1.1.1'", "10.2.2.2")));
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

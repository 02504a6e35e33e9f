#include "app/CommandLine.h"
#include "platform/AlarmSound.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"
#include "platform/SettingsUserStore.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QMessageBox>
#include <QMutex>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <optional>
#ifdef Q_OS_WIN
#include "platform/Beeper.h"

#include <windows.h>
#endif

namespace {

// The user's store file in a folder of its own, where QSettings looks for it from now on.
struct UserFolder {
    QTemporaryDir dir;
    UserFolder() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
    QString file() const { return dir.filePath(QStringLiteral("TorvanelClient.conf")); }
    void setFile(const QByteArray& text) const {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
};

QString lockFile(const QString& text) {
#ifdef Q_OS_WIN
    const QString folder = QDir::tempPath();
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
    return folder + QLatin1Char('/') + InstanceGuard::nameFor(text) + QStringLiteral(".lock");
}

#ifdef Q_OS_WIN
// A value below HKEY_CURRENT_USER\SOFTWARE\TorvanelClient as the registry holds it: its type
// and its bytes (REG_NONE and none when it is not there).
std::pair<DWORD, QByteArray> registryValue(const QString& key, const QString& name) {
    const std::wstring subkey = (QStringLiteral("SOFTWARE\\TorvanelClient\\") + key).toStdWString();
    DWORD type = REG_NONE, size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.toStdWString().c_str(),
                       RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) != ERROR_SUCCESS)
        return {REG_NONE, {}};
    QByteArray data(size, '\0');
    ::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.toStdWString().c_str(),
                   RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size);
    return {type, data.left(size)};
}

bool setRegistryValue(const QString& key, const QString& name,
                      const std::pair<DWORD, QByteArray>& value) {
    const std::wstring subkey = (QStringLiteral("SOFTWARE\\TorvanelClient\\") + key).toStdWString();
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, subkey.c_str(), name.toStdWString().c_str(),
                             value.first, value.second.constData(),
                             DWORD(value.second.size())) == ERROR_SUCCESS;
}

std::pair<DWORD, QByteArray> dword(quint32 n) {
    return {REG_DWORD, QByteArray(reinterpret_cast<const char*>(&n), sizeof n)};
}

std::pair<DWORD, QByteArray> text(const QString& s) {
    return {REG_SZ, QByteArray(reinterpret_cast<const char*>(s.utf16()), (s.size() + 1) * 2)};
}
#else
// The alarm sound's warnings logged meanwhile, from any thread.
struct SoundWarnings {
    static inline QMutex mutex;
    static inline QStringList seen;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            QMutexLocker lock(&mutex);
            if (type == QtWarningMsg && text.startsWith("Alarm sound"))
                seen.append(text);
        });
    SoundWarnings() { seen.clear(); }
    ~SoundWarnings() { qInstallMessageHandler(previous); }
    QStringList all() const {
        QMutexLocker lock(&mutex);
        return seen;
    }
};

bool canberraMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcanberra");
}

int threads() {
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

QStringList soundCopies() {
    return QDir::temp().entryList({QStringLiteral("TorvanelClient-alarm-*")}, QDir::Files);
}
#endif

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
#ifndef Q_OS_WIN
    void storeReadsBackWhatItWroteAndDigitsAsNumbers() {
        UserFolder home;
        SettingsUserStore store;
        QVERIFY(store.writeInt("Position", "Left", 10));
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(10));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));
        QVERIFY(!store.readInt("Position", "Top"));
        QCOMPARE(store.readString("Belegt", "Frei"), std::optional<QString>(QString()));

        // A file edited by hand holds only texts; digits are a number, a word is none.
        UserFolder edited;
        edited.setFile("[Position]\nLeft=400\nTop=vier\n");
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Top"));
    }

    // Each command-line text keeps its own position names: blanks at the ends are kept, and
    // a slash or backslash belongs to the name and is no step into a group.
    void everyTextHasPositionNamesOfItsOwn() {
        UserFolder home;
        SettingsUserStore store;
        const QStringList texts{"A", "A ", " A", "A/", "A//B", "A/B", "A\\B", "A%2F", "A%5C"};
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(store.writeInt("Position", "Left" + texts[i], i));
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(store.readInt("Position", "Left" + texts[i]), std::optional<int>(i));
        // Names written before are found where they were.
        UserFolder earlier;
        earlier.setFile("[Position]\nLeftA%20=5\nLeftHaus%202=6\n");
        QCOMPARE(store.readInt("Position", "LeftA "), std::optional<int>(5));
        QCOMPARE(store.readInt("Position", "LeftHaus 2"), std::optional<int>(6));
    }

    void storeSaysWhenItCannotBeReadOrWritten() {
        SettingsUserStore store;
        // A file where the configuration folder belongs refuses every write, for root as well.
        QTemporaryDir home;
        QVERIFY(QFile(home.filePath(".config")).open(QIODevice::WriteOnly));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath(".config"));
        QVERIFY(!store.writeInt("Position", "Left", 10));
        QVERIFY(!store.writeString("Belegt", "Belegt=", "9"));

        // One line QSettings cannot parse, and none of the file's values is trusted.
        UserFolder broken;
        broken.setFile("[Position]\nLeft=10\n[Belegt\n");
        QVERIFY(!store.readInt("Position", "Left"));
    }

    void commandLineTextIsKeptAsGiven() {
        char prog[] = "TorvanelClient", a[] = "Haus", b[] = " 2 ", c[] = "-style";
        char* argv[] = {prog, a, b, c};
        QCOMPARE(commandLineText(4, argv), QStringLiteral("Haus  2  -style"));
        QCOMPARE(commandLineText(1, argv), QString());
    }
#else
    // Where earlier installations keep the values, in the types they gave them: the positions
    // as DWORDs, the busy list as text, in HKEY_CURRENT_USER\SOFTWARE\TorvanelClient itself.
    void storeKeepsTheRegistryValuesOfEarlierInstallations() {
        SettingsUserStore store;
        QVERIFY(store.writeInt("Position", "Left", 10));
        QVERIFY(store.writeInt("Position", "LeftA/B", 11));
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(registryValue("Position", "Left"), dword(10));
        QCOMPARE(registryValue("Position", "LeftA%2FB"), dword(11));
        QCOMPARE(registryValue("Belegt", "Belegt="), text("12,17"));
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(10));
        QCOMPARE(store.readInt("Position", "LeftA/B"), std::optional<int>(11));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));

        // Entered by hand: a text of digits is a number, a word is none; a number is no text.
        QVERIFY(setRegistryValue("Position", "Top", text("400")));
        QVERIFY(setRegistryValue("Position", "Width", text("vier")));
        QVERIFY(setRegistryValue("Belegt", "Belegt=", dword(12)));
        QCOMPARE(store.readInt("Position", "Top"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Width"));
        QVERIFY(!store.readInt("Position", "Height"));
        QVERIFY(!store.readString("Belegt", "Belegt="));
    }

    // Started with these raw command lines, a client takes the text after the program name
    // exactly as Windows hands it over: blanks, quotes and every character kept.
    void commandLineTextIsTheRawLineAfterTheProgramName_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("bare") << "TorvanelClient.exe"
                              << "";
        QTest::newRow("blanks kept") << "TorvanelClient.exe Haus  2 "
                                     << "Haus  2 ";
        QTest::newRow("quoted path") << "\"C:\\Program Files\\T\\TorvanelClient.exe\"\t \"A B\""
                                     << "\"A B\"";
        QTest::newRow("beyond the code page") << "T.exe S\u00fcd \u2603"
                                              << "S\u00fcd \u2603";
    }
    void commandLineTextIsTheRawLineAfterTheProgramName() {
        QFETCH(QString, raw);
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        // The program started is this test, whatever the raw line names.
        child.setCreateProcessArgumentsModifier(
            [line = raw.toStdWString(),
             program = QDir::toNativeSeparators(child.program()).toStdWString()](
                QProcess::CreateProcessArguments* args) mutable {
                args->applicationName = program.c_str();
                args->arguments = line.data();
            });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TORVANEL_TEST_COMMAND_LINE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start();
        QVERIFY(child.waitForFinished(10000));
        QTEST(QString::fromUtf8(child.readAllStandardOutput()), "text");
    }
#endif

    void windowsCommandLineLosesOnlyTheProgramName_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("bare") << "TorvanelClient.exe"
                              << "";
        QTest::newRow("blanks kept") << "TorvanelClient.exe Haus  2 "
                                     << "Haus  2 ";
        QTest::newRow("tab after name") << "TorvanelClient.exe\t \tHaus"
                                        << "Haus";
        QTest::newRow("quoted path") << "\"C:\\Program Files\\T\\TorvanelClient.exe\"  \"A B\""
                                     << "\"A B\"";
        QTest::newRow("quote inside name") << "C:\\\"Program Files\"\\T.exe x"
                                           << "x";
        QTest::newRow("unclosed quote") << "\"C:\\T.exe x"
                                        << "";
        QTest::newRow("quote in text") << "T.exe Haus \"Süd\""
                                       << "Haus \"Süd\"";
    }
    void windowsCommandLineLosesOnlyTheProgramName() {
        QFETCH(QString, raw);
        QTEST(commandLineTail(raw), "text");
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
        // Each request's socket goes once it has been heard, however many starts are refused.
        QTRY_VERIFY(first.findChildren<QLocalSocket*>().isEmpty());
        QVERIFY(!InstanceGuard(QStringLiteral("niemand")).askRunningToActivate(100));

        // The guard goes with the instance.
        {
            InstanceGuard gone(QStringLiteral("B"));
            QVERIFY(gone.tryAcquire());
        }
        InstanceGuard again(QStringLiteral("B"));
        QVERIFY(again.tryAcquire());
    }

#ifndef Q_OS_WIN
    // xdg-open always starts, so its exit code is the desktop's answer; it is awaited
    // without holding up the caller.
    void desktopOpenerAnswersThroughItsExitCode() {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        DesktopShellOpen shell;
        for (const auto& [code, expected] : {std::pair{0, ShellOpen::Result::Opened},
                                             {3, ShellOpen::Result::NoApplication},
                                             { 4,
                                               ShellOpen::Result::Failed }}) {
            QFile script(bin.filePath(QStringLiteral("xdg-open")));
            QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
            script.write("#!/bin/sh\n[ \"$1\" = \"/a b/T.ini\" ] || exit 9\nexit " +
                         QByteArray::number(code) + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            std::optional<ShellOpen::Result> result;
            shell.open(QStringLiteral("/a b/T.ini"), [&](ShellOpen::Result r) { result = r; });
            QVERIFY(!result);
            QTRY_VERIFY(result);
            QCOMPARE(*result, expected);
        }
    }

    // Two users run an instance with the same text: each listens in its own runtime folder,
    // and each refused start reaches its own user's instance.
    void eachUserHasInstancesOfItsOwn() {
        const QByteArray home = qgetenv("XDG_RUNTIME_DIR");
        auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", home); });
        QTemporaryDir userA, userB;
        QFile::setPermissions(userA.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(userB.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", userA.path().toLocal8Bit());
        InstanceGuard a(QStringLiteral("Zentrale")), refusedA(QStringLiteral("Zentrale"));
        QVERIFY(a.tryAcquire());
        qputenv("XDG_RUNTIME_DIR", userB.path().toLocal8Bit());
        InstanceGuard b(QStringLiteral("Zentrale"));
        QVERIFY(b.tryAcquire());
        QSignalSpy askedA(&a, &InstanceGuard::activationRequested);
        QSignalSpy askedB(&b, &InstanceGuard::activationRequested);
        QTimer::singleShot(0,
                           [&] { QVERIFY(InstanceGuard("Zentrale").askRunningToActivate(2000)); });
        QTRY_COMPARE(askedB.count(), 1);
        qputenv("XDG_RUNTIME_DIR", userA.path().toLocal8Bit());
        QTimer::singleShot(0, [&] { QVERIFY(refusedA.askRunningToActivate(2000)); });
        QTRY_COMPARE(askedA.count(), 1);
        QCOMPARE(askedB.count(), 1);
    }
#endif

    void crashedInstanceNeitherRefusesTheStartNorKeepsItsName() {
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--instance"), QStringLiteral("Haus 2")});
        QVERIFY(other.waitForReadyRead(10000));
        QCOMPARE(other.readAll().trimmed(), QByteArray("held")); // CR LF on Windows
        InstanceGuard refused(QStringLiteral("Haus 2"));
        QVERIFY(!refused.tryAcquire());

        // Killed outright: its lock file and its socket stay behind.
        other.kill();
        QVERIFY(other.waitForFinished(10000));
        QVERIFY(QFile::exists(lockFile(QStringLiteral("Haus 2"))));
        InstanceGuard next(QStringLiteral("Haus 2"));
        QVERIFY(next.tryAcquire());
        QSignalSpy asked(&next, &InstanceGuard::activationRequested);
        QVERIFY(refused.askRunningToActivate(2000));
        QTRY_COMPARE(asked.count(), 1);
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

    void realBoxKeysButtonsAndIcon_data() {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("Enter, default OK") << (mb::OkCancel | mb::IconHand) << int(Qt::Key_Return)
                                           << mb::IdOk << 2 << QMessageBox::Critical;
        QTest::newRow("Enter, default Cancel")
            << (mb::OkCancel | mb::DefButton2 | mb::IconQuestion) << int(Qt::Key_Return)
            << mb::IdCancel << 2 << QMessageBox::Question;
        QTest::newRow("Escape, default OK")
            << (mb::OkCancel | mb::IconExclamation) << int(Qt::Key_Escape) << mb::IdCancel << 2
            << QMessageBox::Warning;
        QTest::newRow("OK alone") << (mb::Ok | mb::DefButton2) << int(Qt::Key_Return) << mb::IdOk
                                  << 1 << QMessageBox::NoIcon;
    }
    void realBoxKeysButtonsAndIcon() {
        QFETCH(unsigned, flags);
        QFETCH(int, key);
        int buttons = 0;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            buttons = int(box->buttons().size());
            icon = box->icon();
            QTest::keyClick(box, Qt::Key(key));
        });
        MessageBoxPrompts prompts;
        QTEST(prompts.ask(QStringLiteral("Text"), QStringLiteral("Titel"), flags), "answer");
        QTEST(buttons, "buttons");
        QTEST(icon, "icon");
    }

    // PCM the sound library reads, a couple of seconds, loud.
    void alarmSignalIsAShortLoudWave() {
        QFile file(QStringLiteral(TORVANEL_ALARM_WAV));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt " && wav.mid(36, 4) == "data");
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), 22050u);
        const auto* samples = reinterpret_cast<const qint16*>(wav.constData() + 44);
        const int count = (wav.size() - 44) / 2;
        QVERIFY(count >= 22050 && count <= 22050 * 5 / 2);
        QVERIFY(*std::max_element(samples, samples + count) > 16000);
    }

#ifndef Q_OS_WIN
    // Its thread starts and the sound library is mapped when the first alarm is due, and the
    // library not for a sound file that cannot be read. Failures (here: no such file, no such
    // driver) are said once in the log, however often the alarm sounds; the thread and the
    // copy handed to the library go with the object.
    void alarmSoundLoadsItsLibraryOnlyWhenDueAndFailsQuietly() {
        const QStringList before = soundCopies(); // other runs' copies
        QVERIFY(!canberraMapped());
        const int idle = threads();
        {
            SoundWarnings log;
            DesktopAlarmSound sound(QStringLiteral("/nonexistent/alarm.wav"));
            sound.play();
            QTRY_COMPARE(log.all().size(), 1);
            QVERIFY2(log.all().first().contains("/nonexistent/alarm.wav"),
                     qPrintable(log.all().first()));
        }
        QVERIFY(!canberraMapped());

        SoundWarnings log;
        {
            // An ended thread leaves the task list a moment after QThread::wait().
            QTRY_COMPARE(threads(), idle);
            DesktopAlarmSound sound(QStringLiteral(TORVANEL_ALARM_WAV));
            QCOMPARE(threads(), idle);
            QVERIFY(!canberraMapped());
            for (int i = 0; i < 100; ++i)
                sound.play();
            QCOMPARE(threads(), idle + 1);
            QTRY_COMPARE(log.all().size(), 1);
            QVERIFY(canberraMapped());
            QStringList ours = soundCopies();
            ours.removeIf([&](const QString& name) { return before.contains(name); });
            QCOMPARE(ours.size(), 1);
            QFile copy(QDir::temp().filePath(ours.first())),
                source(QStringLiteral(TORVANEL_ALARM_WAV));
            QVERIFY(copy.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
            QVERIFY(copy.readAll() == source.readAll());
            for (int i = 0; i < 100; ++i)
                sound.play();
        }
        QCOMPARE(log.all().size(), 1);
        QTRY_COMPARE(threads(), idle);
        QCOMPARE(soundCopies(), before);
        // Gone while its first sound may still be starting.
        DesktopAlarmSound(QStringLiteral(TORVANEL_ALARM_WAV)).play();
    }
#else
    // The tones of the watch tick and of the quit, and the ends of what Beep takes: each
    // comes back, so the tick that beeps goes on.
    void beepsReturn() {
        SystemBeeper beeper;
        for (const auto& [hz, ms] : {std::pair{500, 250}, {1000, 100}, {37, 1}, {32767, 1}})
            beeper.beep(hz, ms);
    }
#endif
};

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    // Stands for a client started with a raw command line: says the text it takes from it.
    if (qEnvironmentVariableIsSet("TORVANEL_TEST_COMMAND_LINE")) {
        const QByteArray text = commandLineText(argc, argv).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
#endif
    // Stands for another client: holds the guard for a text until it is killed.
    if (argc == 3 && qstrcmp(argv[1], "--instance") == 0) {
        QCoreApplication app(argc, argv);
        InstanceGuard guard(QString::fromLocal8Bit(argv[2]));
        std::fputs(guard.tryAcquire() ? "held\n" : "refused\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lock files and sockets of our own, apart from any client running on this desktop; the
    // short name leaves room within the length limit of a socket path.
    // Two folders, so that a lock put anywhere but the runtime folder is noticed.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/tp-XXXXXX"));
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/tq-XXXXXX"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // An alarm sound goes nowhere, also on a desktop with speakers.
    qputenv("CANBERRA_DRIVER", "none");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
#ifdef Q_OS_WIN
    // Windows keeps the locks in the temporary folder.
    qputenv("TMP", runtime.path().toLocal8Bit());
    qputenv("TEMP", runtime.path().toLocal8Bit());
    // The user's registry values stay untouched: HKEY_CURRENT_USER is a scratch key of ours
    // for this process, gone when it ends.
    const std::wstring scratch = QStringLiteral("Software\\TorvanelClient-test-%1")
                                     .arg(QCoreApplication::applicationPid())
                                     .toStdWString();
    HKEY user = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &user, nullptr) != ERROR_SUCCESS ||
        ::RegOverridePredefKey(HKEY_CURRENT_USER, user) != ERROR_SUCCESS)
        qFatal("no scratch key for HKEY_CURRENT_USER");
    const auto dropScratch = qScopeGuard([&] {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(user);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch.c_str());
    });
#endif
    QApplication app(argc, argv);
    TestPlatform t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_platform.moc"

#include "app/CommandLine.h"
#include "platform/AlarmSound.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"
#include "platform/SettingsUserStore.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QMessageBox>
#include <QMutex>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#ifdef Q_OS_WIN
#include "platform/Beeper.h"

#include <windows.h>
#endif

namespace {

// Where the locks and sockets of this run go; set by main().
QString runtimeFolder;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Calls `act` with the message box a call opens, once it is open.
void whileBoxOpen(std::function<void(QMessageBox*)> act) {
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        act(box);
    });
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
// The user's store file in a folder of its own, where QSettings looks for it from now on.
struct UserFolder {
    QTemporaryDir dir;
    UserFolder() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
    void setFile(const QByteArray& text) const {
        QFile f(dir.filePath(QStringLiteral("TorvanelClient.conf")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
};

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
    return contents(QStringLiteral("/proc/self/maps")).contains("libcanberra");
}

int threads() {
    return int(QDir(QStringLiteral("/proc/self/task")).count());
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
    // Read back as written; in a file edited by hand digits are a number and a word is none.
    // Each command-line text keeps position names of its own: blanks at the ends are kept,
    // and a slash or backslash belongs to the name and is no step into a group.
    void storeReadsWhatItWroteAndSaysWhenItCannot() {
        SettingsUserStore store;
        UserFolder home;
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));
        QCOMPARE(store.readString("Belegt", "Frei"), std::optional<QString>(QString()));
        const QStringList texts{"A", "A ", " A", "A/", "A//B", "A/B", "A\\B", "A%2F", "A%5C"};
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(store.writeInt("Position", "Left" + texts[i], i));
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(store.readInt("Position", "Left" + texts[i]), std::optional<int>(i));
        UserFolder edited;
        edited.setFile("[Position]\nLeft=400\nTop=vier\n");
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Top"));

        // One line QSettings cannot parse, and none of the file's values is trusted.
        UserFolder broken;
        broken.setFile("[Position]\nLeft=10\n[Belegt\n");
        QVERIFY(!store.readInt("Position", "Left"));
        // A file where the configuration folder belongs refuses every write, for root as well.
        QVERIFY(QFile(broken.dir.filePath(".config")).open(QIODevice::WriteOnly));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           broken.dir.filePath(".config"));
        QVERIFY(!store.writeInt("Position", "Left", 10));
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
        QVERIFY(store.writeInt("Position", "LeftA/B", 11));
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(registryValue("Position", "LeftA%2FB"), dword(11));
        QCOMPARE(registryValue("Belegt", "Belegt="), text("12,17"));
        QCOMPARE(store.readInt("Position", "LeftA/B"), std::optional<int>(11));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));

        // Entered by hand: a text of digits is a number, a word is none; a number is no text.
        QVERIFY(setRegistryValue("Position", "Top", text("400")));
        QVERIFY(setRegistryValue("Position", "Width", text("vier")));
        QVERIFY(setRegistryValue("Belegt", "Belegt=", dword(12)));
        QCOMPARE(store.readInt("Position", "Top"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Width"));
        QVERIFY(!store.readString("Belegt", "Belegt="));
    }

    // Started with a raw command line, a client takes the text after the program name exactly
    // as Windows hands it over: blanks, quotes and characters beyond the code page kept.
    void commandLineTextIsTheRawLineAfterTheProgramName() {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        // The program started is this test, whatever the raw line names.
        const std::wstring program = QDir::toNativeSeparators(child.program()).toStdWString();
        std::wstring line =
            QStringLiteral("\"C:\\Program Files\\T\\T.exe\"\t \"S\u00fcd \u2603\"  2 ")
                .toStdWString();
        child.setCreateProcessArgumentsModifier([&](QProcess::CreateProcessArguments* args) {
            args->applicationName = program.c_str();
            args->arguments = line.data();
        });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TORVANEL_TEST_COMMAND_LINE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QStringLiteral("\"S\u00fcd \u2603\"  2 "));
    }
#endif

    void windowsCommandLineLosesOnlyTheProgramName_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("bare") << QStringLiteral("T.exe") << QString();
        QTest::newRow("tab after name") << QStringLiteral("T.exe\t \tHaus  2 ") << "Haus  2 ";
        QTest::newRow("quoted path")
            << QStringLiteral("\"C:\\Program Files\\T.exe\"  \"A B\"") << "\"A B\"";
        QTest::newRow("quote inside name")
            << QStringLiteral("C:\\\"Program Files\"\\T.exe x") << "x";
        QTest::newRow("unclosed quote") << QStringLiteral("\"C:\\T.exe x") << QString();
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
                                     QStringLiteral("../x/\\y:*?"), QString(5000, QChar(0xFC))})
            QVERIFY2(InstanceGuard(other).tryAcquire(), qPrintable(other.left(20)));

        // A refused start asks the running instance to come forward; each request's socket
        // goes once it has been heard.
        QSignalSpy asked(&first, &InstanceGuard::activationRequested);
        QVERIFY(same.askRunningToActivate(2000));
        QTRY_COMPARE(asked.count(), 1);
        QTRY_VERIFY(first.findChildren<QLocalSocket*>().isEmpty());
        QVERIFY(!InstanceGuard(QStringLiteral("niemand")).askRunningToActivate(100));
    }

#ifndef Q_OS_WIN
    // xdg-open always starts, so its exit code is the desktop's answer; it is awaited
    // without holding up the caller.
    void desktopOpenerAnswersThroughItsExitCode() {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n[ \"$1\" = \"/a b/T.ini\" ] || exit 9\nexit $TORVANEL_EXIT\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        DesktopShellOpen shell;
        using R = ShellOpen::Result;
        for (const auto& [code, expected] : {std::pair{"0", R::Opened},
                                             {"3", R::NoApplication},
                                             { "4",
                                               R::Failed }}) {
            qputenv("TORVANEL_EXIT", code);
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
        auto restore = qScopeGuard([] { qputenv("XDG_RUNTIME_DIR", runtimeFolder.toLocal8Bit()); });
        QTemporaryDir userA, userB;
        const auto as = [](const QTemporaryDir& user) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(user.path()));
        };
        as(userA);
        InstanceGuard a(QStringLiteral("Zentrale"));
        QVERIFY(a.tryAcquire());
        as(userB);
        InstanceGuard b(QStringLiteral("Zentrale"));
        QVERIFY(b.tryAcquire());
        QSignalSpy askedA(&a, &InstanceGuard::activationRequested);
        QSignalSpy askedB(&b, &InstanceGuard::activationRequested);
        QVERIFY(InstanceGuard(QStringLiteral("Zentrale")).askRunningToActivate(2000));
        QTRY_COMPARE(askedB.count(), 1);
        as(userA);
        QVERIFY(InstanceGuard(QStringLiteral("Zentrale")).askRunningToActivate(2000));
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

        // Killed outright: its socket stays behind, and on Linux its lock file (in the runtime
        // folder), which names a process id that may go to a live client of the same name:
        // this very test.
        other.kill();
        QVERIFY(other.waitForFinished(10000));
#ifndef Q_OS_WIN
        QFile lock(runtimeFolder + '/' + InstanceGuard::nameFor("Haus 2") + ".lock");
        QVERIFY(lock.open(QIODevice::ReadWrite));
        const QByteArray info = lock.readAll();
        lock.resize(0);
        lock.write(QByteArray::number(QCoreApplication::applicationPid()) +
                   info.mid(info.indexOf('\n')));
        lock.close();
#endif
        InstanceGuard next(QStringLiteral("Haus 2"));
        QVERIFY(next.tryAcquire());
        QSignalSpy asked(&next, &InstanceGuard::activationRequested);
        QVERIFY(InstanceGuard(QStringLiteral("Haus 2")).askRunningToActivate(2000));
        QTRY_COMPARE(asked.count(), 1);
    }

    // The buttons, the icon and the answer to Enter of the real box; the server's text in it
    // is plain, and a long one is cut with the whole of it in the details.
    void realBox_data() {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QMessageBox::StandardButtons>("buttons");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::addColumn<int>("answer");
        const QMessageBox::StandardButtons both = QMessageBox::Ok | QMessageBox::Cancel;
        QTest::newRow("default OK")
            << (mb::OkCancel | mb::IconHand) << both << QMessageBox::Critical << mb::IdOk;
        QTest::newRow("default Cancel") << (mb::OkCancel | mb::DefButton2 | mb::IconQuestion)
                                        << both << QMessageBox::Question << mb::IdCancel;
        QTest::newRow("OK alone") << (mb::Ok | mb::DefButton2 | mb::IconExclamation)
                                  << QMessageBox::StandardButtons(QMessageBox::Ok)
                                  << QMessageBox::Warning << mb::IdOk;
    }
    void realBox() {
        QFETCH(unsigned, flags);
        QFETCH(QMessageBox::StandardButtons, buttons);
        QFETCH(QMessageBox::Icon, icon);
        const QString alarm = QStringLiteral("Alarm von Nst. <b>1</b>") + QString(10000, u'7');
        whileBoxOpen([&](QMessageBox* box) {
            QTest::keyClick(box, Qt::Key_Return); // first, so that no failure leaves it open
            QCOMPARE(box->standardButtons(), buttons);
            QCOMPARE(box->icon(), icon);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QVERIFY(box->text().startsWith("Alarm von Nst. <b>1</b>") && box->text().size() < 1000);
            QCOMPARE(box->detailedText(), alarm);
        });
        QTEST(MessageBoxPrompts().ask(alarm, QStringLiteral("Titel"), flags), "answer");
    }

    // PCM the sound library reads, a couple of seconds, loud.
    void alarmSignalIsAShortLoudWave() {
        const QByteArray wav = contents(QStringLiteral(TORVANEL_ALARM_WAV));
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
            for (int i = 0; i < 100; ++i)
                sound.play();
            QCOMPARE(threads(), idle + 1);
            QTRY_COMPARE(log.all().size(), 1);
            QVERIFY(canberraMapped());
            QStringList ours = soundCopies();
            ours.removeIf([&](const QString& name) { return before.contains(name); });
            QCOMPARE(ours.size(), 1);
            QVERIFY(contents(QDir::temp().filePath(ours.first())) ==
                    contents(QStringLiteral(TORVANEL_ALARM_WAV)));
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
    runtimeFolder = runtime.path();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // An alarm sound goes nowhere, also on a desktop with speakers.
    qputenv("CANBERRA_DRIVER", "none");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
#ifdef Q_OS_WIN
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

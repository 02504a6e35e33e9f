#include "app/CommandLine.h"
#include "platform/AlarmSound.h"
#include "platform/Beeper.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"
#include "platform/SettingsUserStore.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMutex>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <optional>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Where the locks and sockets of this run go; set by main().
QString runtimeFolder;

#ifdef Q_OS_WIN
// A value below HKEY_CURRENT_USER\SOFTWARE\TorvanelClient as the registry holds it.
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
#endif

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
#ifndef Q_OS_WIN
    // Read back as written, under position names that keep blanks and slashes of the text;
    // in a file edited by hand a word is no number.
    void storeReadsWhatItWroteAndSaysWhenItCannot() {
        SettingsUserStore store;
        UserFolder home;
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));
        const QStringList texts{"A", "A ", "A/B", "A\\B"};
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(store.writeInt("Position", "Left" + texts[i], i));
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(store.readInt("Position", "Left" + texts[i]), std::optional<int>(i));
        UserFolder edited;
        edited.setFile("[Position]\nLeft=400\nTop=vier\n");
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Top"));
        // A file where the configuration folder belongs refuses every write.
        QVERIFY(QFile(edited.dir.filePath(".config")).open(QIODevice::WriteOnly));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           edited.dir.filePath(".config"));
        QVERIFY(!store.writeInt("Position", "Left", 10));
    }
#else
    // Earlier installations' types: the positions as DWORDs, the busy list as text.
    void storeKeepsTheRegistryValuesOfEarlierInstallations() {
        SettingsUserStore store;
        QVERIFY(store.writeInt("Position", "LeftA/B", 11));
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QCOMPARE(registryValue("Position", "LeftA%2FB").first, DWORD(REG_DWORD));
        QCOMPARE(registryValue("Belegt", "Belegt=").first, DWORD(REG_SZ));
        QCOMPARE(store.readInt("Position", "LeftA/B"), std::optional<int>(11));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));
    }
#endif

    void windowsCommandLineLosesOnlyTheProgramName() {
        QCOMPARE(commandLineTail(QStringLiteral("T.exe\t \tHaus  2 ")), QStringLiteral("Haus  2 "));
        QCOMPARE(commandLineTail(QStringLiteral("\"C:\\Program Files\\T.exe\"  \"A B\"")),
                 QStringLiteral("\"A B\""));
        QCOMPARE(commandLineTail(QStringLiteral("\"C:\\T.exe x")), QString());
    }

    void oneInstancePerText() {
        InstanceGuard first(QStringLiteral("A"));
        QVERIFY(first.tryAcquire());
        InstanceGuard same(QStringLiteral("A"));
        QVERIFY(!same.tryAcquire());
        // Texts are compared exactly; any length and any character make a valid name.
        for (const QString& other : {QStringLiteral("A "), QString(5000, QChar(0xFC))})
            QVERIFY(InstanceGuard(other).tryAcquire());

        // A refused start asks the running instance to come forward.
        QSignalSpy asked(&first, &InstanceGuard::activationRequested);
        QVERIFY(same.askRunningToActivate(2000));
        QTRY_COMPARE(asked.count(), 1);
        QVERIFY(!InstanceGuard(QStringLiteral("niemand")).askRunningToActivate(100));
    }

#ifndef Q_OS_WIN
    // xdg-open always starts, so its exit code is the desktop's answer, awaited without
    // holding up the caller.
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
                                             { "3",
                                               R::NoApplication }}) {
            qputenv("TORVANEL_EXIT", code);
            std::optional<ShellOpen::Result> result;
            shell.open(QStringLiteral("/a b/T.ini"), [&](ShellOpen::Result r) { result = r; });
            QVERIFY(!result);
            QTRY_COMPARE(result, std::optional(expected));
        }
    }

    // Two users run an instance with the same text, each in their own runtime folder.
    void eachUserHasInstancesOfItsOwn() {
        auto restore = qScopeGuard([] { qputenv("XDG_RUNTIME_DIR", runtimeFolder.toLocal8Bit()); });
        QTemporaryDir userA, userB;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(userA.path()));
        InstanceGuard a(QStringLiteral("Zentrale"));
        QVERIFY(a.tryAcquire());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(userB.path()));
        InstanceGuard b(QStringLiteral("Zentrale"));
        QVERIFY(b.tryAcquire());
        QSignalSpy askedA(&a, &InstanceGuard::activationRequested);
        QSignalSpy askedB(&b, &InstanceGuard::activationRequested);
        QVERIFY(InstanceGuard(QStringLiteral("Zentrale")).askRunningToActivate(2000));
        QTRY_COMPARE(askedB.count(), 1);
        QCOMPARE(askedA.count(), 0);
    }
#else
    // Started with a raw command line, a client takes the text after the program name exactly
    // as Windows hands it over: blanks, quotes and characters beyond the code page kept.
    void commandLineTextIsTheRawLineAfterTheProgramName() {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
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

    // The tones of the watch tick and of the quit come back, so the tick that beeps goes on.
    void beepsReturn() {
        SystemBeeper beeper;
        beeper.beep(500, 250);
        beeper.beep(1000, 100);
    }
#endif

    void crashedInstanceNeitherRefusesTheStartNorKeepsItsName() {
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--instance"), QStringLiteral("Haus 2")});
        QVERIFY(other.waitForReadyRead(10000));
        QCOMPARE(other.readAll().trimmed(), QByteArray("held")); // CR LF on Windows

        // Killed outright: its socket stays behind, and on Linux its lock file, which names a
        // process id that may go to a live client of the same name: this very test.
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

    // The real box: its buttons, the answer to Enter, and the server's text plain and cut,
    // with the whole of it in the details.
    void realBox() {
        const QString alarm = QStringLiteral("Alarm von Nst. <b>1</b>") + QString(10000, u'7');
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Return); // first, so that no failure leaves it open
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QVERIFY(box->text().startsWith("Alarm von Nst. <b>1</b>") && box->text().size() < 1000);
            QCOMPARE(box->detailedText(), alarm);
        });
        QCOMPARE(MessageBoxPrompts().ask(alarm, QStringLiteral("Titel"),
                                         mb::OkCancel | mb::DefButton2 | mb::IconQuestion),
                 mb::IdCancel);
    }

#ifndef Q_OS_WIN
    // Failures (no such file, no such driver) are said once in the log however often the
    // alarm sounds, and the object may go while its first sound is still starting.
    // The sound library is mapped only when a readable sound is first due, so start-up pays
    // nothing for it.
    void alarmSoundFailsQuietly() {
        const auto mapped = [] {
            QFile maps(QStringLiteral("/proc/self/maps"));
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcanberra");
        };
        {
            SoundWarnings log;
            DesktopAlarmSound sound(QStringLiteral("/nonexistent/alarm.wav"));
            sound.play();
            QTRY_COMPARE(log.all().size(), 1);
            QVERIFY(log.all().first().contains("/nonexistent/alarm.wav"));
        }
        QVERIFY(!mapped());
        SoundWarnings log;
        {
            DesktopAlarmSound sound(QStringLiteral(TORVANEL_ALARM_WAV));
            QVERIFY(!mapped());
            for (int i = 0; i < 100; ++i)
                sound.play();
            QTRY_COMPARE(log.all().size(), 1);
            QVERIFY(mapped());
            for (int i = 0; i < 100; ++i)
                sound.play();
        }
        QCOMPARE(log.all().size(), 1);
        DesktopAlarmSound(QStringLiteral(TORVANEL_ALARM_WAV)).play();
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
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/tp-XXXXXX"));
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/tq-XXXXXX"));
    runtimeFolder = runtime.path();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // An alarm sound goes nowhere, also on a desktop with speakers.
    qputenv("CANBERRA_DRIVER", "none");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
#ifdef Q_OS_WIN
    // The user's registry values stay untouched: HKEY_CURRENT_USER is a scratch key of ours.
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

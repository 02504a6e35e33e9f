#include "Files.h"
#include "core/CommandLine.h"
#include "platform/DesktopAlarmSound.h"
#include "platform/DesktopShellOpen.h"
#include "platform/EndSignals.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/SettingsUserStore.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMutex>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include "platform/CanberraPlayer.h"
#include <unistd.h>
#endif

namespace {

QString runtimeFolder; // the locks and sockets of this run

#ifndef Q_OS_WIN
QMutex soundMutex;
QStringList soundWarnings, soundsStarted; // the alarm sound's, from any thread
QStringList seen(const QStringList& said) {
    QMutexLocker lock(&soundMutex);
    return said;
}
#endif

// Whether a start refused for the running guard's text reaches it.
bool reaches(InstanceGuard& running, const InstanceGuard& asking) {
    QSignalSpy asked(&running, &InstanceGuard::activationRequested);
    return asking.askRunningToActivate(2000) && QTest::qWaitFor([&] { return asked.count() == 1; });
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void storeReadsWhatItWroteAndSaysWhenItCannot() {
        SettingsUserStore store;
#ifndef Q_OS_WIN
        QTemporaryDir home, edited; // a settings file of its own for each look
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
#endif
        QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
        QVERIFY(store.writeInt("Position", "LeftA/B", 1));
        QCOMPARE(store.readString("Belegt", "Belegt="), std::optional<QString>("12,17"));
        QCOMPARE(store.readInt("Position", "LeftA/B"), std::optional<int>(1));
#ifdef Q_OS_WIN
        // The types earlier installations left: positions as DWORDs, the busy list as text.
        const auto type = [](const wchar_t* key, const wchar_t* name) {
            DWORD t = REG_NONE;
            ::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &t, nullptr, nullptr);
            return t;
        };
        QCOMPARE(type(L"SOFTWARE\\TorvanelClient\\Position", L"LeftA%2FB"), DWORD(REG_DWORD));
        QCOMPARE(type(L"SOFTWARE\\TorvanelClient\\Belegt", L"Belegt="), DWORD(REG_SZ));
#else
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, edited.path());
        writeFile(edited.filePath(QStringLiteral("TorvanelClient.conf")),
                  "[Position]\nLeft=400\nTop=vier\n");
        QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(400));
        QVERIFY(!store.readInt("Position", "Top"));
        // Its folder a file: nothing can be written there.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           edited.filePath(QStringLiteral("TorvanelClient.conf")));
        QVERIFY(!store.writeInt("Position", "Left", 10));
#endif
    }

    void theCommandLineLosesOnlyTheProgramName() {
        QCOMPARE((QStringList{commandLineTail("T.exe\t \tHaus  2 "), commandLineTail("T.exe"),
                              commandLineTail("\"C:\\Program Files\\T.exe\"  \"A B\"")}),
                 (QStringList{"Haus  2 ", "", "\"A B\""}));
#ifndef Q_OS_WIN
        // Elsewhere the words arrive apart, and one blank joins them.
        char program[] = "TorvanelClient", haus[] = "Haus", two[] = "2";
        char* argv[] = {program, haus, two, nullptr};
        QCOMPARE(commandLineText(3, argv), QStringLiteral("Haus 2"));
#endif
    }

#ifndef Q_OS_WIN
    // xdg-open always starts: its exit code is the answer, awaited without holding us up.
    void desktopOpenerAnswersThroughItsExitCode() {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        DesktopShellOpen shell;
        using R = ShellOpen::Result;
        // One that cannot even start is a failure too, told once.
        const QByteArray sh = "#!/bin/sh\n[ \"$1\" = \"/a b/T.ini\" ] || exit 9\nexit ";
        const QList<std::pair<QByteArray, R>> cases{
            std::pair(sh + "0", R::Opened), std::pair(sh + "3", R::NoApplication),
            std::pair(sh + "4", R::Failed), std::pair("#!/nonexistent/sh\n", R::Failed)};
        for (const auto& [script, expected] : cases) {
            writeFile(bin.filePath(QStringLiteral("xdg-open")), script);
            QVERIFY(QFile::setPermissions(bin.filePath(QStringLiteral("xdg-open")),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QList<R> told;
            shell.open(QStringLiteral("/a b/T.ini"), [&](R r) { told << r; });
            QVERIFY(told.isEmpty());
            QTRY_COMPARE(told, QList<R>{expected});
        }
    }

    void eachUserHasInstancesOfItsOwn() {
        auto restore = qScopeGuard([] { qputenv("XDG_RUNTIME_DIR", runtimeFolder.toLocal8Bit()); });
        InstanceGuard a(QStringLiteral("Zentrale"));
        QVERIFY(a.tryAcquire());
        QTemporaryDir userB;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(userB.path()));
        InstanceGuard b(QStringLiteral("Zentrale"));
        QVERIFY(b.tryAcquire());
        QSignalSpy askedA(&a, &InstanceGuard::activationRequested);
        QVERIFY(reaches(b, InstanceGuard(QStringLiteral("Zentrale"))));
        QCOMPARE(askedA.count(), 0);
        // Where no lock can be made at all, the watch still starts.
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        const QByteArray tmp = qgetenv("TMPDIR");
        auto restoreTmp = qScopeGuard([&] { qputenv("TMPDIR", tmp); });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(notAFolder.fileName()));
        qputenv("TMPDIR", QFile::encodeName(notAFolder.fileName()));
        InstanceGuard nowhere(QStringLiteral("Zentrale"));
        QVERIFY(nowhere.tryAcquire());
    }
#else
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
        qputenv("TORVANEL_TEST_COMMAND_LINE", "1");
        auto restore = qScopeGuard([] { qunsetenv("TORVANEL_TEST_COMMAND_LINE"); });
        child.start();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QStringLiteral("\"S\u00fcd \u2603\"  2 "));
    }
#endif

    void crashedInstanceNeitherRefusesTheStartNorKeepsItsName() {
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--instance"), QStringLiteral("Haus 2")});
        QVERIFY(other.waitForReadyRead(10000));
        QCOMPARE(other.readAll().trimmed(), QByteArray("held")); // CR LF on Windows
        other.kill(); // its socket stays, its lock names a pid now a live client's: ours
        QVERIFY(other.waitForFinished(10000));
#ifndef Q_OS_WIN
        const QString lock = runtimeFolder + '/' + InstanceGuard::nameFor("Haus 2") + ".lock";
        const QByteArray info = fileBytes(lock);
        writeFile(lock, QByteArray::number(QCoreApplication::applicationPid()) +
                            info.mid(info.indexOf('\n')));
#endif
        // Taken over, the name is held again: one instance per text.
        InstanceGuard next(QStringLiteral("Haus 2")), same(QStringLiteral("Haus 2"));
        QVERIFY(next.tryAcquire());
        QVERIFY(!same.tryAcquire());
        QVERIFY(reaches(next, same));
    }

#ifndef Q_OS_WIN
    // Through the event loop, never from inside the handler; one the starter set to be
    // ignored stays so, and what was there before comes back with the object.
    void endSignalsArriveThroughTheLoop() {
        struct sigaction before = {}, now = {};
        QCOMPARE(::sigaction(SIGTERM, nullptr, &before), 0);
        {
            EndSignals ends;
            QSignalSpy requested(&ends, &EndSignals::endRequested);
            for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
                QCOMPARE(::kill(::getpid(), signal), 0);
                QCOMPARE(requested.size(), 0);
                QVERIFY(requested.wait(5000));
                requested.clear();
            }
        }
        QCOMPARE(::sigaction(SIGTERM, nullptr, &now), 0);
        QVERIFY(now.sa_handler == before.sa_handler);
        std::signal(SIGHUP, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGHUP, SIG_DFL); });
        EndSignals ends;
        QSignalSpy requested(&ends, &EndSignals::endRequested);
        QCOMPARE(::raise(SIGHUP), 0);
        QVERIFY(!requested.wait(100));
    }
#else
    // An end carried out, not one called off.
    void theSessionsEndArrivesWhileItIsHandled() {
        EndSignals ends;
        QSignalSpy requested(&ends, &EndSignals::endRequested);
        QVERIFY(::PostThreadMessageW(::GetCurrentThreadId(), WM_ENDSESSION, FALSE, 0));
        QCoreApplication::processEvents();
        QCOMPARE(requested.size(), 0);
        QVERIFY(::PostThreadMessageW(::GetCurrentThreadId(), WM_ENDSESSION, TRUE, 0));
        QTRY_COMPARE(requested.size(), 1);
    }
#endif

    void realBox() {
        const QString alarm = QStringLiteral("Alarm von Nst. <b>1</b>") + QString(10000, u'7');
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Return); // first, so that no failure leaves it open
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->text(), alarm.left(400) + " …");
            QCOMPARE(box->detailedText(), alarm);
        });
        QCOMPARE(MessageBoxPrompts().ask(alarm, QStringLiteral("Titel"),
                                         mb::OkCancel | mb::DefButton2 | mb::IconQuestion),
                 mb::IdCancel);
    }

#ifndef Q_OS_WIN
    // Each failure logged once; the library mapped only when a readable sound is first due.
    void alarmSoundFailsQuietly() {
        const auto mapped = [] {
            QFile maps(QStringLiteral("/proc/self/maps"));
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcanberra");
        };
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext&, const QString& text) {
                QMutexLocker lock(&soundMutex);
                if (text.startsWith("Alarm sound"))
                    (type == QtWarningMsg ? soundWarnings : soundsStarted).append(text);
            });
        auto restore = qScopeGuard([&] { qInstallMessageHandler(previous); });
        // No sound, or no folder for its copy: nothing to play, no library.
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", notAFolder.fileName().toLocal8Bit());
        DesktopAlarmSound missing(QStringLiteral("/nonexistent/alarm.wav")),
            noCopy(QStringLiteral(TORVANEL_ALARM_WAV));
        missing.play();
        noCopy.play();
        QTRY_COMPARE(seen(soundWarnings).size(), 2);
        qputenv("TMPDIR", tmp);
        const QString told = seen(soundWarnings).join('\n');
        for (const QString& named :
             {QStringLiteral("/nonexistent/alarm.wav"), notAFolder.fileName()})
            QVERIFY2(told.contains(named), qPrintable(told));
        QVERIFY(!mapped());
        // The player's copy of the sound file goes with the sound, also while it is sounding.
        const auto copies = [] {
            return QDir::temp().entryList({QStringLiteral("TorvanelClient-alarm-*")});
        };
        {
            // On this thread, so that every ask is made before the first is played.
            CanberraPlayer player(QStringLiteral(TORVANEL_ALARM_WAV));
            QLoggingCategory::setFilterRules(QStringLiteral("torvanel.sound.debug=true"));
            for (int i = 0; i < 100; ++i)
                player.request();
            QTRY_COMPARE(seen(soundWarnings).size(), 3);
            QVERIFY(mapped());
            QCOMPARE(copies().size(), 1);
            QCOMPARE(seen(soundsStarted).size(), 1); // the asks made while it waited joined it
            player.request();
            QTRY_COMPARE(seen(soundsStarted).size(), 2);
            QLoggingCategory::setFilterRules({});
        }
        QCOMPARE(seen(soundWarnings).size(), 3);
        QCOMPARE(copies(), QStringList());
        // Without the library, or with another in its place, the sound is given up, told once.
        for (const QString library : {"nonexistent", "glib-2.0"}) {
            CanberraPlayer player(QStringLiteral(TORVANEL_ALARM_WAV), library);
            const qsizetype before = seen(soundWarnings).size();
            player.request();
            QTRY_COMPARE(seen(soundWarnings).size(), before + 1);
            QVERIFY2(seen(soundWarnings).last().contains(library),
                     qPrintable(seen(soundWarnings).last()));
            player.request();
            QTest::qWait(20);
            QCOMPARE(seen(soundWarnings).size(), before + 1);
        }
        {
            DesktopAlarmSound sound(QStringLiteral(TORVANEL_ALARM_WAV));
            sound.play();
            QTRY_COMPARE(copies().size(), 1);
        }
        QCOMPARE(copies(), QStringList());
    }
#endif
};

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    if (qEnvironmentVariableIsSet("TORVANEL_TEST_COMMAND_LINE")) {
        const QByteArray text = commandLineText(argc, argv).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
#endif
    if (argc == 3 && qstrcmp(argv[1], "--instance") == 0) {
        QCoreApplication app(argc, argv);
        InstanceGuard guard(QString::fromLocal8Bit(argv[2]));
        std::fputs(guard.tryAcquire() ? "held\n" : "refused\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Locks and sockets of our own; short names fit the limit of a socket path.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/tp-XXXXXX"));
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/tq-XXXXXX"));
    runtimeFolder = runtime.path();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qputenv("CANBERRA_DRIVER", "none");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
#ifdef Q_OS_WIN
    // HKEY_CURRENT_USER is a scratch key of ours.
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

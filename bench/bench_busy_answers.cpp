// What a flood of busy lists costs the client: 100,000 heartbeat answers "BUSY,12,17," in one
// write of the server, read over loopback by the link and handed to the watch, which keeps the
// list in the real user store (QSettings, in a temporary folder of its own). Prints the
// process's CPU time and the wall time from the write to the last answer handled.
#include "link/Frames.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"
#include "platform/AlarmSound.h"
#include "platform/Beeper.h"
#include "platform/Prompts.h"
#include "platform/Services.h"
#include "platform/SettingsUserStore.h"
#include "platform/ShellOpen.h"
#include "watch/Watch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kAnswers = 100000;
constexpr int kHour = 3600 * 1000;

// Nothing here may wait for a person or reach the desktop.
class NoPrompts final : public Prompts {
public:
    int ask(const QString&, const QString&, unsigned, const QString& = {}) override {
        return mb::IdOk;
    }
};
class NoBeeper final : public Beeper {
public:
    void beep(int, int) override {}
};
class NoShell final : public ShellOpen {
public:
    void open(const QString&, std::function<void(Result)> done) override { done(Result::Failed); }
};
class NoSound final : public AlarmSound {
public:
    void play() override {}
};
struct NoWindow final : WatchWindow {
    void alertBegin() override {}
    void alertEnd() override {}
};

double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());

    SettingsUserStore store;
    NoPrompts prompts;
    NoBeeper beeper;
    NoShell shell;
    NoSound sound;
    NoWindow window;
    Services services{prompts, beeper, store, shell, sound, home.path(), {}, home.path()};
    // The clocks stay still: only the answers are measured.
    services.watchIntervalMs = kHour;
    ServerLink link(kHour);
    Watch watch(link, services, window);
    int answers = 0;
    QObject::connect(&link, &ServerLink::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
    QObject::connect(&link, &ServerLink::heartbeatReceived,
                     [&answers](const HeartbeatAnswer&) { ++answers; });

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    link.setHostAndPort(QStringLiteral("127.0.0.1"), server.serverPort());
    link.OpenConnection();
    if (!server.waitForNewConnection(5000))
        return 1;
    QTcpSocket* peer = server.nextPendingConnection();
    QElapsedTimer connecting;
    connecting.start();
    while (!link.isConnected() && connecting.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!link.isConnected())
        return 1;

    const QByteArray one = frames::compose(frames::kHeartbeat, "\n\rBUSY,12,17,");
    const QByteArray flood = one.repeated(kAnswers);

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    peer->write(flood);
    while (answers < kAnswers && peer->state() == QAbstractSocket::ConnectedState)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = wall.nsecsElapsed() / 1e9;
    if (answers < kAnswers)
        return 1;

    std::printf("%d busy answers (%lld bytes) in one write: %.3f s CPU, %.3f s wall "
                "(%.2f us CPU per answer)\n",
                kAnswers, qlonglong(flood.size()), cpu, seconds, 1e6 * cpu / kAnswers);
    std::printf("busy list the store holds afterwards: \"%s\"\n",
                qPrintable(store.readString(QStringLiteral("Belegt"), QStringLiteral("Belegt="))
                               .value_or(QStringLiteral("(not a text)"))));
    return 0;
}

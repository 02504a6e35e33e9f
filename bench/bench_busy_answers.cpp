// What busy lists cost the client, read over loopback by the link and handed to the watch,
// which keeps the list in the real user store (QSettings, in a temporary folder of its own).
//
// 1. 100,000 heartbeat answers "BUSY,12,17," in one write of the server, the watch's tick at
//    an hour: the process's CPU time and the wall time from the write to the last answer.
// 2. 4,000 answers 1 ms apart alternating "BUSY,12," and "BUSY,17,", sent from a thread of
//    its own so that a client falling behind cannot slow the server down, while the watch
//    ticks every 50 ms: answers handled, store writes, ticks that ran and the longest gap
//    between two ticks.
#include "core/link/Heartbeat.h"
#include "core/link/ServerLink.h"
#include "core/services/AlarmSound.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"
#include "core/services/Services.h"
#include "core/services/ShellOpen.h"
#include "core/watch/Watch.h"
#include "platform/SettingsUserStore.h"
#include "wire/Frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <future>
#include <thread>

namespace {

constexpr int kFloodAnswers = 100000;
constexpr int kPacedAnswers = 4000;
constexpr int kTickMs = 50;
constexpr int kHour = 3600 * 1000;
const QString kBelegt = QStringLiteral("Belegt");
const QString kBelegtValue = QStringLiteral("Belegt=");

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

// The real store, its writes counted. Values are read back as texts: the watch reads nothing
// else.
class CountingStore final : public UserStore {
public:
    int writes = 0;

protected:
    std::optional<QVariant> read(const QString& key, const QString& name) override {
        const auto text = m_real.readString(key, name);
        return text ? std::optional<QVariant>(*text) : std::nullopt;
    }
    bool write(const QString& key, const QString& name, const QVariant& value) override {
        ++writes;
        return value.typeId() == QMetaType::Int ? m_real.writeInt(key, name, value.toInt())
                                                : m_real.writeString(key, name, value.toString());
    }

private:
    SettingsUserStore m_real;
};

struct Desktop {
    CountingStore store;
    NoPrompts prompts;
    NoBeeper beeper;
    NoShell shell;
    NoSound sound;
    NoWindow window;
    Services services(const QString& home, int tickMs) {
        Services s{prompts, beeper, store, shell, sound, home, {}, home};
        s.watchIntervalMs = tickMs;
        return s;
    }
};

double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

QString storedBusyList(UserStore& store) {
    return store.readString(kBelegt, kBelegtValue).value_or(QStringLiteral("(not a text)"));
}

bool floodInOneWrite(const QString& home) {
    Desktop desktop;
    // The clocks stay still: only the answers are measured.
    ServerLink link;
    Watch watch(link, desktop.services(home, kHour), desktop.window);
    int answers = 0;
    QObject::connect(&link, &ServerLink::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
    QObject::connect(&link, &ServerLink::heartbeatReceived,
                     [&answers](const HeartbeatAnswer&) { ++answers; });

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return false;
    link.setHostAndPort(QStringLiteral("127.0.0.1"), server.serverPort());
    link.OpenConnection();
    if (!server.waitForNewConnection(5000))
        return false;
    QTcpSocket* peer = server.nextPendingConnection();
    if (!waitFor([&link] { return link.isConnected(); }, 5000))
        return false;

    const QByteArray one = frames::compose(frames::kHeartbeat, "\n\rBUSY,12,17,");
    const QByteArray flood = one.repeated(kFloodAnswers);

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    peer->write(flood);
    while (answers < kFloodAnswers && peer->state() == QAbstractSocket::ConnectedState)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = wall.nsecsElapsed() / 1e9;
    if (answers < kFloodAnswers)
        return false;

    std::printf("%d busy answers (%lld bytes) in one write: %.3f s CPU, %.3f s wall "
                "(%.2f us CPU per answer), %d store writes\n",
                kFloodAnswers, qlonglong(flood.size()), cpu, seconds, 1e6 * cpu / kFloodAnswers,
                desktop.store.writes);
    watch.Timer1Timer();
    std::printf("after the next tick: %d store write(s), the store holds \"%s\"\n",
                desktop.store.writes, qPrintable(storedBusyList(desktop.store)));
    return true;
}

// The server: listens, then sends the answers on a 1 ms schedule; answers that fall behind
// it go out together. Holds the connection until `release` is ready.
void pacedServer(std::promise<quint16>& port, std::shared_future<void> release,
                 std::atomic<double>& sendingSeconds) {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) {
        port.set_value(0);
        return;
    }
    port.set_value(server.serverPort());
    if (!server.waitForNewConnection(5000))
        return;
    QTcpSocket* peer = server.nextPendingConnection();
    const QByteArray answers[] = {frames::compose(frames::kHeartbeat, "\n\rBUSY,12,"),
                                  frames::compose(frames::kHeartbeat, "\n\rBUSY,17,")};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPacedAnswers; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(i));
        peer->write(answers[i % 2]);
        peer->waitForBytesWritten(1000);
    }
    sendingSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    release.wait();
}

bool changingListsAgainstTheTick(const QString& home) {
    std::promise<quint16> port;
    std::promise<void> release;
    std::atomic<double> sendingSeconds{0};
    std::thread server(pacedServer, std::ref(port), release.get_future().share(),
                       std::ref(sendingSeconds));
    const quint16 serverPort = port.get_future().get();

    Desktop desktop;
    ServerLink link;
    link.setHostAndPort(QStringLiteral("127.0.0.1"), serverPort);
    Watch watch(link, desktop.services(home, kTickMs), desktop.window);
    int answers = 0;
    int writesAtFirst = 0;
    int ticks = 0;
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTick;
    QObject::connect(&link, &ServerLink::heartbeatReceived, &watch, &Watch::heartbeatAnswered);
    QObject::connect(&link, &ServerLink::heartbeatReceived, [&](const HeartbeatAnswer&) {
        if (answers++ == 0) {
            writesAtFirst = desktop.store.writes;
            sinceTick.start();
        }
    });
    // Queued like the watch's own tick, so it runs when the tick runs, not when the timer fires.
    QObject::connect(
        &watch.timer1(), &QTimer::timeout, &watch,
        [&] {
            if (answers == 0 || answers == kPacedAnswers)
                return;
            ++ticks;
            longestGapMs = qMax(longestGapMs, sinceTick.restart());
        },
        Qt::QueuedConnection);

    const bool allHandled =
        serverPort != 0 && waitFor([&answers] { return answers == kPacedAnswers; }, 60000);
    const int writes = desktop.store.writes - writesAtFirst;
    longestGapMs = qMax(longestGapMs, sinceTick.elapsed()); // the last tick to the last answer
    waitFor([] { return false; }, 3 * kTickMs);             // the latest list reaches the store
    release.set_value();
    server.join();
    if (!allHandled)
        return false;

    std::printf("%d answers alternating BUSY,12, / BUSY,17, 1 ms apart (sent in %.3f s), "
                "tick every %d ms:\n",
                kPacedAnswers, sendingSeconds.load(), kTickMs);
    std::printf("  answers handled: %d\n  store writes: %d\n  ticks that ran: %d\n"
                "  longest gap between ticks: %lld ms\n",
                answers, writes, ticks, qlonglong(longestGapMs));
    std::printf("  the store holds \"%s\" a few ticks later\n",
                qPrintable(storedBusyList(desktop.store)));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
    return floodInOneWrite(home.path()) && changingListsAgainstTheTick(home.path()) ? 0 : 1;
}

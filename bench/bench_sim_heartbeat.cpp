// How many heartbeat round trips per second the simulator sustains with 50 clients on
// loopback. The server runs on its own thread, as it runs in its own process in real use;
// every client keeps exactly one heartbeat in flight and sends the next on each answer.
// Prints figures only.
#include "sim/SimServer.h"
#include "sim/TableStore.h"
#include "wire/FrameReader.h"
#include "wire/Frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <future>
#include <memory>
#include <vector>

namespace {

constexpr int kClients = 50;
constexpr int kWarmupMs = 500;
constexpr int kMeasureMs = 3000;

class ServerThread : public QThread {
public:
    explicit ServerThread(QString path) : m_path(std::move(path)) {}
    quint16 port() { return m_port.get_future().get(); }

protected:
    void run() override {
        TableStore store(m_path);
        SimServer server(store);
        QString error;
        if (!store.open(&error) || !server.listen(QHostAddress::LocalHost, 0, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            m_port.set_value(0);
            return;
        }
        m_port.set_value(server.port());
        exec();
    }

private:
    QString m_path;
    std::promise<quint16> m_port;
};

struct Client {
    QTcpSocket socket;
    FrameReader reader;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("torvanel.sim.info=false"));
    QTemporaryDir dir;
    ServerThread thread(dir.filePath(QStringLiteral("table.txt")));
    thread.start();
    const quint16 port = thread.port();
    if (port == 0)
        return 1;

    const QByteArray heartbeat = frames::heartbeat();
    long long answers = 0;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < kClients; ++i) {
        auto client = std::make_unique<Client>();
        Client* c = client.get();
        QObject::connect(&c->socket, &QTcpSocket::readyRead, [c, &answers, &heartbeat] {
            const qsizetype got = c->reader.feed(c->socket.readAll()).size();
            answers += got;
            for (qsizetype i = 0; i < got; ++i)
                c->socket.write(heartbeat);
        });
        c->socket.connectToHost(QHostAddress::LocalHost, port);
        if (!c->socket.waitForConnected(5000))
            return 1;
        clients.push_back(std::move(client));
    }
    for (auto& c : clients)
        c->socket.write(heartbeat);

    QEventLoop loop;
    QTimer::singleShot(kWarmupMs, &loop, &QEventLoop::quit);
    loop.exec();
    const long long before = answers;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(kMeasureMs, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double rate = (answers - before) / seconds;

    std::printf("heartbeat round trips with %d clients on loopback: %.0f per second "
                "(%.1f us per round trip per client)\n",
                kClients, rate, 1e6 * kClients / rate);

    clients.clear();
    thread.quit();
    thread.wait();
    return 0;
}

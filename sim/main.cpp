// torvanel-sim: the server simulator. Everything but the command line lives in
// torvanel_sim_core, so tests can run the same server in their own process.
#include "SimControl.h"
#include "SimLog.h"
#include "SimServer.h"
#include "StdinReader.h"
#include "TableStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTextStream>

#ifndef Q_OS_WIN
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr quint16 kDefaultPort = 6767;

#ifndef Q_OS_WIN
// Without a standard input the first socket would get descriptor 0 and be read as commands.
// (Windows sockets are handles of their own, never a C descriptor.)
void keepStdinOccupied() {
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        ::open("/dev/null", O_RDONLY);
}
#endif

int refuse(const QString& text, int code) {
    QTextStream(stderr) << "torvanel-sim: " << text << '\n';
    return code;
}

void print(const SimControl::Reply& reply) {
    if (reply.text.isEmpty())
        return;
    QTextStream out(reply.ok ? stdout : stderr);
    out << (reply.ok ? QString() : QStringLiteral("error: ")) << reply.text << '\n';
}

} // namespace

int main(int argc, char* argv[]) {
#ifndef Q_OS_WIN
    keepStdinOccupied();
    // A console that went away must not kill the server with the next reply we print; on
    // Windows such a write merely fails.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // The log is what this program has to say: on standard error always, also when it runs
    // without a console (a service, a redirected start), where Qt on Windows would otherwise
    // hand it to a debugger nobody runs.
    qputenv("QT_FORCE_STDERR_LOGGING", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvanel-sim"));
    qSetMessagePattern(
        QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{if-warning}warning: %{endif}%{message}"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Telephone server simulator: serves the number table and answers heartbeats.\n"
        "While it runs, type help for the control commands."));
    parser.addHelpOption();
    const QCommandLineOption bind(QStringLiteral("bind"), QStringLiteral("Address to listen on."),
                                  QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on."),
                                  QStringLiteral("port"), QString::number(kDefaultPort));
    const QCommandLineOption table(
        QStringLiteral("table"),
        QStringLiteral("Table file; created with a sample table when missing."),
        QStringLiteral("file"),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
            QStringLiteral("/table.txt"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log every frame in and out."));
    // The control commands, for scripted runs; each runs as if typed at start.
    const QCommandLineOption alarm(QStringLiteral("alarm"),
                                   QStringLiteral("Report extension NST in alarm."),
                                   QStringLiteral("NST"));
    const QCommandLineOption alarmOff(QStringLiteral("alarm-off"),
                                      QStringLiteral("Answer heartbeats with [___test]."));
    const QCommandLineOption busy(QStringLiteral("busy"),
                                  QStringLiteral("Report busy extensions (12,17 | none)."),
                                  QStringLiteral("list"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Leave heartbeats unanswered."));
    const QCommandLineOption tableOff(QStringLiteral("table-off"),
                                      QStringLiteral("Leave table requests unanswered."));
    const QCommandLineOption charge(
        QStringLiteral("charge"),
        QStringLiteral("Set the charges of a row, e.g. --charge \"3 12.50\" (repeatable)."),
        QStringLiteral("row amount"));
    const QCommandLineOption delayTest(
        QStringLiteral("delay-test"), QStringLiteral("Answer each heartbeat MS milliseconds late."),
        QStringLiteral("MS"));
    const QCommandLineOption delayTable(
        QStringLiteral("delay-table"),
        QStringLiteral("Answer each table request MS milliseconds late."), QStringLiteral("MS"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
                                    QStringLiteral("Answer every heartbeat twice."));
    parser.addOptions({bind, port, table, verbose, alarm, alarmOff, busy, silent, tableOff, charge,
                       delayTest, delayTable, repeat});
    parser.process(app);

    const QHostAddress address(parser.value(bind));
    if (address.isNull())
        return refuse(QStringLiteral("not an address: %1").arg(parser.value(bind)), 2);
    bool portOk = false;
    const quint16 portNumber = parser.value(port).toUShort(&portOk);
    if (!portOk)
        return refuse(QStringLiteral("not a port: %1").arg(parser.value(port)), 2);

    QString error;
    TableStore store(QDir::cleanPath(parser.value(table)));
    if (!store.open(&error))
        return refuse(error, 1);

    SimServer server(store);
    server.setVerbose(parser.isSet(verbose));
    if (!server.listen(address, portNumber, &error))
        return refuse(error, 1);

    SimControl control(server);
    QStringList startup;
    if (parser.isSet(alarm))
        startup << QStringLiteral("alarm ") + parser.value(alarm);
    if (parser.isSet(alarmOff))
        startup << QStringLiteral("alarm-off on");
    if (parser.isSet(busy))
        startup << QStringLiteral("busy ") + parser.value(busy);
    if (parser.isSet(silent))
        startup << QStringLiteral("silent on");
    if (parser.isSet(tableOff))
        startup << QStringLiteral("table-off on");
    if (parser.isSet(delayTest))
        startup << QStringLiteral("delay-test ") + parser.value(delayTest);
    if (parser.isSet(delayTable))
        startup << QStringLiteral("delay-table ") + parser.value(delayTable);
    if (parser.isSet(repeat))
        startup << QStringLiteral("repeat on");
    for (const QString& value : parser.values(charge))
        startup << QStringLiteral("charge ") + value;
    for (const QString& command : startup) {
        const SimControl::Reply reply = control.execute(command);
        if (!reply.ok)
            return refuse(QStringLiteral("--%1").arg(command) + QStringLiteral(": ") + reply.text,
                          2);
    }

    qCInfo(lcSim).noquote() << QStringLiteral("listening on %1:%2, table %3 (%4 rows)")
                                   .arg(server.address().toString())
                                   .arg(server.port())
                                   .arg(store.path())
                                   .arg(store.rows().size());

    StdinReader input;
    QObject::connect(&input, &StdinReader::lineRead, &control,
                     [&control](const QString& line) { print(control.execute(line)); });
    QObject::connect(&control, &SimControl::quitRequested, &app, &QCoreApplication::quit);
    return app.exec();
}

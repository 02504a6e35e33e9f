#include "SimControl.h"

#include "SimServer.h"
#include "TableLine.h"
#include "TableStore.h"
#include "wire/Wire1252.h"

#include <QRegularExpression>

#include <optional>

namespace {

using Reply = SimControl::Reply;

// Ten minutes: longer than any client waits for an answer.
constexpr int kMaxDelayMs = 600'000;
// A flood for any client, yet well below the backlog at which a client is cut off.
constexpr int kMaxUnasked = 10'000;

Reply fail(const QString& text) {
    return {false, text};
}

// The single argument as a whole number from `min` to `max`.
std::optional<int> boundedNumber(const QStringList& args, int min, int max) {
    bool ok = false;
    const int value = args.size() == 1 ? args[0].toInt(&ok) : 0;
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// An extension as the client shows it: printable, no blank, and nothing that the heartbeat
// body uses as punctuation (the comma ends a busy entry, "{" starts the end marker).
bool isExtension(const QByteArray& nst) {
    if (nst.isEmpty() || nst.size() > tableline::kNumberWidth)
        return false;
    for (char c : nst) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 32 || b == 127 || c == ',' || c == '{')
            return false;
    }
    return true;
}

QString field(QByteArrayView line, qsizetype at, qsizetype width) {
    return wire::fromWire(tableline::field(line, at, width).toByteArray())
        .leftJustified(int(width));
}

QString describeState(const SimState& s) {
    QStringList busy;
    if (s.busy)
        for (const QByteArray& nst : *s.busy)
            busy << wire::fromWire(nst);
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    return QStringLiteral("alarm: %1, alarm-off: %2, busy: %3, silent: %4, table-off: %5, "
                          "delay-test: %6 ms, delay-table: %7 ms, repeat: %8")
        .arg(s.alarm.isEmpty()
                 ? (s.alarmWithdrawn ? QStringLiteral("none (withdrawn)") : QStringLiteral("none"))
                 : wire::fromWire(s.alarm),
             onOff(s.alarmOff),
             !s.busy ? QStringLiteral("off")
                     : (busy.isEmpty() ? QStringLiteral("none") : busy.join(QLatin1Char(','))),
             onOff(s.silent), onOff(s.tableOff), QString::number(s.heartbeatDelayMs),
             QString::number(s.tableDelayMs), onOff(s.repeat));
}

} // namespace

SimControl::SimControl(SimServer& server, QObject* parent) : QObject(parent), m_server(server) {}

QString SimControl::help() {
    return QStringLiteral(
        "show                  table, state and connected clients\n"
        "alarm NST             report extension NST in alarm\n"
        "alarm clear           withdraw the alarm\n"
        "alarm-off on|off      answer heartbeats with [___test] (alarm switched off)\n"
        "busy 12,17            report these extensions busy\n"
        "busy none             report that no extension is busy\n"
        "busy off              report no busy list at all\n"
        "silent on|off         leave heartbeats unanswered\n"
        "table-off on|off      leave table requests unanswered\n"
        "delay-test MS         answer each heartbeat MS milliseconds late (0 = at once)\n"
        "delay-table MS        answer each table request MS milliseconds late (0 = at once)\n"
        "repeat on|off         answer every heartbeat twice\n"
        "unasked-test N        send every client N heartbeat answers nobody asked for\n"
        "unasked-table         send every client the table unasked\n"
        "drop                  close every client connection\n"
        "charge ROW AMOUNT     set the charges of row ROW (1 = Verb. 1), e.g. charge 3 12.50\n"
        "help                  this list\n"
        "quit                  stop the simulator");
}

Reply SimControl::execute(const QString& command) {
    QStringList words =
        command.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    const QString name = words.takeFirst().toLower();
    SimState& state = m_server.state();

    if (name == QLatin1String("show") && words.isEmpty())
        return show();
    if (name == QLatin1String("alarm"))
        return alarm(words);
    if (name == QLatin1String("alarm-off"))
        return toggle(name, words, &state.alarmOff);
    if (name == QLatin1String("busy"))
        return busy(words);
    if (name == QLatin1String("silent"))
        return toggle(name, words, &state.silent);
    if (name == QLatin1String("table-off"))
        return toggle(name, words, &state.tableOff);
    if (name == QLatin1String("delay-test"))
        return delay(name, words, &state.heartbeatDelayMs);
    if (name == QLatin1String("delay-table"))
        return delay(name, words, &state.tableDelayMs);
    if (name == QLatin1String("repeat"))
        return toggle(name, words, &state.repeat);
    if (name == QLatin1String("unasked-test"))
        return unaskedHeartbeats(words);
    if (name == QLatin1String("unasked-table") && words.isEmpty()) {
        m_server.sendUnaskedTable();
        return {true, QStringLiteral("table sent to %1 client(s)").arg(m_server.clientCount())};
    }
    if (name == QLatin1String("drop") && words.isEmpty()) {
        const qsizetype count = m_server.clientCount();
        m_server.dropAll();
        return {true, QStringLiteral("%1 connection(s) closed").arg(count)};
    }
    if (name == QLatin1String("charge"))
        return charge(words);
    if (name == QLatin1String("help") && words.isEmpty())
        return {true, help()};
    if (name == QLatin1String("quit") && words.isEmpty()) {
        emit quitRequested();
        return {};
    }
    return fail(QStringLiteral("unknown command \"%1\"; type help").arg(command.trimmed()));
}

Reply SimControl::show() const {
    QStringList out;
    const auto& rows = m_server.store().rows();
    out << QStringLiteral("table %1, %2 rows").arg(m_server.store().path()).arg(rows.size());
    out << QStringLiteral("Verb.  %1 %2 %3 %4 %5")
               .arg(QStringLiteral("Ruf/Zi.-Nummer").leftJustified(20),
                    QStringLiteral("Alarm Nummer.").leftJustified(20),
                    QStringLiteral("Not Nummer.").leftJustified(20),
                    QStringLiteral("Gebühr").leftJustified(6), QStringLiteral("Bemerk."));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QByteArray& r = rows[i];
        out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(i + 1, 5)
                   .arg(field(r, 0, 20), field(r, 20, 20), field(r, 40, 20),
                        field(r, tableline::kChargesAt, tableline::kChargesWidth),
                        field(r, tableline::kRemarkAt, 40).trimmed());
    }
    out << describeState(m_server.state());
    out << QStringLiteral("listening on %1:%2, %3 client(s) connected")
               .arg(m_server.address().toString())
               .arg(m_server.port())
               .arg(m_server.clientCount());
    return {true, out.join(QLatin1Char('\n'))};
}

Reply SimControl::alarm(const QStringList& args) {
    SimState& state = m_server.state();
    if (args.size() != 1)
        return fail(QStringLiteral("usage: alarm NST | alarm clear"));
    if (args[0].compare(QLatin1String("clear"), Qt::CaseInsensitive) == 0) {
        state.alarmWithdrawn = state.alarmWithdrawn || !state.alarm.isEmpty();
        state.alarm.clear();
        return {true, QStringLiteral("alarm cleared")};
    }
    const QByteArray nst = wire::toWire(args[0]);
    if (!isExtension(nst))
        return fail(QStringLiteral("not an extension: \"%1\"").arg(args[0]));
    state.alarm = nst;
    state.alarmWithdrawn = false;
    return {true, QStringLiteral("alarm at %1").arg(args[0])};
}

Reply SimControl::busy(const QStringList& args) {
    SimState& state = m_server.state();
    if (args.size() != 1)
        return fail(QStringLiteral("usage: busy 12,17 | busy none | busy off"));
    const QString list = args[0];
    if (list.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
        state.busy.reset();
        return {true, QStringLiteral("busy list no longer reported")};
    }
    QList<QByteArray> numbers;
    if (list.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0) {
        for (const QString& part : list.split(QLatin1Char(','))) {
            const QByteArray nst = wire::toWire(part);
            if (!isExtension(nst))
                return fail(QStringLiteral("not an extension: \"%1\"").arg(part));
            numbers << nst;
        }
    }
    state.busy = numbers;
    return {true, numbers.isEmpty() ? QStringLiteral("no extension busy")
                                    : QStringLiteral("busy: %1").arg(list)};
}

Reply SimControl::charge(const QStringList& args) {
    bool isNumber = false;
    const int row = args.size() == 2 ? args[0].toInt(&isNumber) : 0;
    if (!isNumber)
        return fail(QStringLiteral("usage: charge ROW AMOUNT, e.g. charge 3 12.50"));
    QString message;
    const bool ok = m_server.store().setCharges(row - 1, wire::toWire(args[1]), &message);
    return {ok, message};
}

Reply SimControl::delay(const QString& name, const QStringList& args, int* delayMs) {
    const auto value = boundedNumber(args, 0, kMaxDelayMs);
    if (!value)
        return fail(QStringLiteral("usage: %1 MS, from 0 to %2").arg(name).arg(kMaxDelayMs));
    *delayMs = *value;
    return {true, QStringLiteral("%1 %2 ms").arg(name).arg(*value)};
}

Reply SimControl::unaskedHeartbeats(const QStringList& args) {
    const auto count = boundedNumber(args, 1, kMaxUnasked);
    if (!count)
        return fail(QStringLiteral("usage: unasked-test N, from 1 to %1").arg(kMaxUnasked));
    m_server.sendUnaskedHeartbeats(*count);
    return {true, QStringLiteral("%1 heartbeat answer(s) sent to %2 client(s)")
                      .arg(*count)
                      .arg(m_server.clientCount())};
}

Reply SimControl::toggle(const QString& name, const QStringList& args, bool* flag) {
    const QString value = args.size() == 1 ? args[0].toLower() : QString();
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        return fail(QStringLiteral("usage: %1 on|off").arg(name));
    *flag = value == QLatin1String("on");
    return {true, QStringLiteral("%1 %2").arg(name, value)};
}

#include "core/records/AlarmReport.h"

#include "core/records/Csv.h"

#include <algorithm>
#include <optional>

namespace report {

namespace {

const QString kAlarm = QStringLiteral("Alarm von Nst. ");

// Walks the journal once, in the order written.
class Reader {
public:
    AlarmReport report;

    void take(const RecordLine& line) {
        const QString& text = line.text;
        if (text.startsWith(kAlarm))
            alarm(QStringView(text).mid(kAlarm.size()), line.at);
        else if (text == QStringLiteral("Server meldet sich nicht"))
            open(Period::Kind::ServerSilent, line.at);
        else if (text == QStringLiteral("Server meldet sich wieder"))
            close(Period::Kind::ServerSilent, line.at);
        else if (text == QStringLiteral("Verbindung zum Server verloren"))
            open(Period::Kind::LinkDown, line.at);
        else if (text == QStringLiteral("Verbindung zum Server hergestellt"))
            close(Period::Kind::LinkDown, line.at);
        else if (text == QStringLiteral("Client gestartet"))
            started(line.at);
        else if (text.startsWith(QStringLiteral("Client beendet")))
            clientEnded(line.at);
        else if (!text.startsWith(QStringLiteral("ALARM = AUS")))
            ++report.unknownLines;
        m_last = line.at;
    }

    AlarmReport finish() {
        // What is still open at the end stands now, as far as the journal can tell.
        if (m_open)
            report.alarms[*m_open].standing = m_running;
        return report;
    }

private:
    void alarm(QStringView rest, const QDateTime& at) {
        // By hand, not with a pattern: a month of records is tens of thousands of lines.
        static const QString ended = QStringLiteral(" vom Server beendet");
        static const QString acknowledged = QStringLiteral(" quittiert nach ");
        if (rest.endsWith(ended))
            return end(rest.chopped(ended.size()).toString(), at);
        const qsizetype ack = rest.lastIndexOf(acknowledged);
        if (ack >= 0 && rest.endsWith(QStringLiteral(" s"))) {
            const QStringView seconds = rest.mid(ack + acknowledged.size()).chopped(2);
            const bool digits =
                !seconds.isEmpty() && std::all_of(seconds.begin(), seconds.end(),
                                                  [](QChar c) { return c >= u'0' && c <= u'9'; });
            if (digits)
                return acknowledge(rest.left(ack).toString(), at);
        }
        raise(rest.toString(), at);
    }
    void raise(const QString& nst, const QDateTime& at) {
        // The server reports one alarm at a time: another one takes the place of the last.
        if (m_open)
            report.alarms[*m_open].ended = at;
        report.alarms.append({nst, at, std::nullopt, 0, std::nullopt, false});
        m_open = report.alarms.size() - 1;
    }
    void acknowledge(const QString& nst, const QDateTime& at) {
        // The box may be closed after the alarm ended, or after another took its place.
        for (auto row = report.alarms.rbegin(); row != report.alarms.rend(); ++row) {
            if (row->nst != nst)
                continue;
            if (row->acknowledgements++ == 0)
                row->acknowledgedAfterS = std::max<qint64>(0, row->raised.secsTo(at));
            return;
        }
        ++report.unknownLines;
    }
    void end(const QString& nst, const QDateTime& at) {
        if (m_open && report.alarms[*m_open].nst == nst)
            report.alarms[*std::exchange(m_open, std::nullopt)].ended = at;
        else
            ++report.unknownLines;
    }
    void open(Period::Kind kind, const QDateTime& at) {
        if (openPeriod(kind) < 0)
            report.periods.append({kind, at, std::nullopt});
    }
    void close(Period::Kind kind, const QDateTime& at) {
        if (const int p = openPeriod(kind); p >= 0)
            report.periods[p].to = at;
    }
    int openPeriod(Period::Kind kind) const {
        for (int p = int(report.periods.size()) - 1; p >= 0; --p)
            if (report.periods[p].kind == kind && !report.periods[p].to)
                return p;
        return -1;
    }
    void stopWatching(const QDateTime& at) {
        // Nobody saw what happened after this: the alarm's end and the server's return are
        // unknown, and the next run starts afresh.
        m_open.reset();
        close(Period::Kind::ServerSilent, at);
        close(Period::Kind::LinkDown, at);
    }
    void clientEnded(const QDateTime& at) {
        stopWatching(at);
        if (std::exchange(m_running, false))
            report.periods.append({Period::Kind::ClientNotRunning, at, std::nullopt});
    }
    void started(const QDateTime& at) {
        if (m_running && m_runWroteStart) {
            // The last run wrote no end line: it crashed, was killed or lost its power.
            stopWatching(m_last);
            report.periods.append({Period::Kind::ClientEndedUnseen, m_last, at});
        }
        close(Period::Kind::ClientNotRunning, at);
        m_running = true;
        m_runWroteStart = true;
    }

    std::optional<qsizetype> m_open; // the alarm standing, as far as the journal tells
    bool m_running = true;
    // A journal begun by a client that wrote no start and end lines cannot tell a crash.
    bool m_runWroteStart = false;
    QDateTime m_last;
};

bool overlaps(const Period& p, const Filter& f) {
    return p.from < f.to && (!p.to || *p.to > f.from);
}

QString stamp(const QDateTime& at) {
    return at.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

} // namespace

AlarmReport buildAlarmReport(const QList<RecordLine>& lines) {
    Reader reader;
    for (const RecordLine& line : lines)
        reader.take(line);
    return reader.finish();
}

Filter today(const QDateTime& now) {
    const QDate day = now.date();
    return {wallClock(day, {0, 0}), wallClock(day.addDays(1), {0, 0}), {}};
}

Filter lastNight(const QDateTime& now) {
    // Before eight in the morning the night is still going on; this is the one asked about.
    const QDate day = now.date();
    return {wallClock(day.addDays(-1), {18, 0}), wallClock(day, {8, 0}), {}};
}

Filter lastDays(const QDateTime& now, int days) {
    const QDate day = now.date();
    return {wallClock(day.addDays(1 - days), {0, 0}), wallClock(day.addDays(1), {0, 0}), {}};
}

QList<AlarmRow> filtered(const QList<AlarmRow>& rows, const Filter& filter) {
    const QString nst = filter.nst.trimmed();
    QList<AlarmRow> out;
    for (const AlarmRow& row : rows)
        if (row.raised >= filter.from && row.raised < filter.to &&
            (nst.isEmpty() || row.nst == nst))
            out.append(row);
    return out;
}

QList<Period> filtered(const QList<Period>& periods, const Filter& filter) {
    QList<Period> out;
    for (const Period& p : periods)
        if (overlaps(p, filter))
            out.append(p);
    return out;
}

Summary summarize(const QList<AlarmRow>& rows, qint64 limitS, const QDateTime& now) {
    const QDateTime wallNow = wallClock(now.date(), now.time());
    Summary s;
    s.alarms = int(rows.size());
    QList<qint64> times;
    for (const AlarmRow& row : rows) {
        if (row.acknowledgedAfterS)
            times.append(*row.acknowledgedAfterS);
        else
            ++s.unacknowledged;
        // One that stands may still be answered in time, until the limit has passed.
        if (row.acknowledgedAfterS ? *row.acknowledgedAfterS > limitS
                                   : !row.standing || row.raised.secsTo(wallNow) > limitS)
            ++s.overLimit;
    }
    if (times.isEmpty())
        return s;
    std::sort(times.begin(), times.end());
    const qsizetype n = times.size();
    s.acknowledged = AckTimes{
        times.first(), n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2, times.last()};
    return s;
}

QList<int> alarmsPerHour(const QList<AlarmRow>& rows, const Filter& filter) {
    const qint64 seconds = filter.from.secsTo(filter.to);
    if (seconds <= 0)
        return {};
    QList<int> counts((seconds + 3599) / 3600, 0);
    for (const AlarmRow& row : filtered(rows, filter))
        ++counts[filter.from.secsTo(row.raised) / 3600];
    return counts;
}

QByteArray alarmCsv(const QList<AlarmRow>& rows) {
    QByteArray out = csv::begin();
    out += csv::line({QStringLiteral("Nst."), QStringLiteral("Ausgelöst"),
                      QStringLiteral("Quittiert nach (s)"), QStringLiteral("Quittierungen"),
                      QStringLiteral("Beendet"), QStringLiteral("Dauer (s)"),
                      QStringLiteral("Steht noch")});
    for (const AlarmRow& row : rows)
        out += csv::line(
            {row.nst, stamp(row.raised),
             row.acknowledgedAfterS ? QString::number(*row.acknowledgedAfterS) : QString(),
             QString::number(row.acknowledgements), row.ended ? stamp(*row.ended) : QString(),
             row.ended ? QString::number(row.raised.secsTo(*row.ended)) : QString(),
             row.standing ? QStringLiteral("ja") : QString()});
    return out;
}

QString periodText(Period::Kind kind) {
    switch (kind) {
    case Period::Kind::ServerSilent:
        return QStringLiteral("Server meldet sich nicht");
    case Period::Kind::LinkDown:
        return QStringLiteral("Keine Verbindung zum Server");
    case Period::Kind::ClientNotRunning:
        return QStringLiteral("Client nicht aktiv");
    case Period::Kind::ClientEndedUnseen:
        return QStringLiteral("Client nicht aktiv (unerwartet beendet)");
    }
    return {};
}

} // namespace report

#pragma once

#include "core/records/RecordLines.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The alarm journal read back: one row per alarm, and the periods in which the client could
// not have seen one.
namespace report {

struct AlarmRow {
    QString nst;
    QDateTime raised;
    // From the raise to the first OK of its prompt; none while never acknowledged.
    std::optional<qint64> acknowledgedAfterS;
    int acknowledgements = 0; // the repeats' OKs counted too
    // When the server withdrew it, or reported another alarm in its place; none while it
    // stands, or when the client ended before it was withdrawn.
    std::optional<QDateTime> ended;
    // Still standing at the end of the journal with the client running.
    bool standing = false;
};

struct Period {
    enum class Kind {
        ServerSilent,      // "Server meldet sich nicht" … "Server meldet sich wieder"
        LinkDown,          // "Verbindung zum Server verloren" … "hergestellt"
        ClientNotRunning,  // "Client beendet" … "Client gestartet"
        ClientEndedUnseen, // the last line of a run without an end line … "Client gestartet"
    };
    Kind kind;
    QDateTime from;
    std::optional<QDateTime> to; // none: still so at the end of the journal
};

struct AlarmReport {
    QList<AlarmRow> alarms;
    QList<Period> periods;
    int unknownLines = 0; // record lines whose text the report does not know
};

AlarmReport buildAlarmReport(const QList<RecordLine>& lines);

// The rows raised in [from, to) and, when `nst` is not empty, from that extension. The times
// are wall-clock times as the records hold them (`wallClock`); the periods offered are made
// from the local time `now`.
struct Filter {
    QDateTime from;
    QDateTime to;
    QString nst;
};
Filter today(const QDateTime& now);
Filter lastNight(const QDateTime& now); // 18:00 before the last 08:00 up to that 08:00
Filter lastDays(const QDateTime& now, int days);
QList<AlarmRow> filtered(const QList<AlarmRow>& rows, const Filter& filter);
// Periods that overlap [from, to).
QList<Period> filtered(const QList<Period>& periods, const Filter& filter);

// How soon the acknowledged alarms were answered, in seconds.
struct AckTimes {
    qint64 min, median, max;
};

struct Summary {
    int alarms = 0;
    int unacknowledged = 0;
    std::optional<AckTimes> acknowledged; // none when no alarm was acknowledged
    // Acknowledged after more than the limit, or not within it: ended unanswered, or
    // standing unanswered for longer than the limit at `now` (local time).
    int overLimit = 0;
};
Summary summarize(const QList<AlarmRow>& rows, qint64 limitS, const QDateTime& now);

// Alarms raised per hour of [from, to): one count per hour begun.
QList<int> alarmsPerHour(const QList<AlarmRow>& rows, const Filter& filter);

// UTF-8 with a byte-order mark, ';'-separated, a heading line, as German spreadsheet programs
// open it.
QByteArray alarmCsv(const QList<AlarmRow>& rows);
QString periodText(Period::Kind kind);

} // namespace report

#pragma once

#include "core/records/AlarmReport.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// How the report writes times, durations and its summary, on screen and on paper alike.
namespace report_text {

QString dateTime(const QDateTime& at);
// "07.12.2026 18:00 – 08.12.2026 08:00"
QString period(const QDateTime& from, const QDateTime& to);
// "42 s", "3 min 05 s", "2 h 05 min"
QString duration(qint64 seconds);
// A name for an export of the period: "Alarme 2026-12-07.csv", "… 2026-12-01 bis 2026-12-07.csv"
QString fileName(const QString& what, const report::Filter& period, const QString& suffix);
QString summary(const report::Summary& summary, qint64 limitS);
// What of a record could not be read, for a line below its table: the lines left out, and
// the files that could not be opened ("path: reason"); empty when all was read.
QString readProblems(int skipped, const QStringList& unreadable);

} // namespace report_text

#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// A line of a record file: "yyyy-MM-dd hh:mm:ss  text", in the local time of its writing.
// The file says nothing of the time zone or daylight saving, so the time is kept as written,
// a wall-clock time (see `wallClock`); reports compare and subtract such times only with each
// other. It also spares a month of records tens of thousands of time zone look-ups.
struct RecordLine {
    QDateTime at;
    QString text;
};

// What could be read of the files of one record (the older files first, then the current
// one). Lines in another form, cut short, not UTF-8 or with an impossible date are skipped
// and counted; a file that cannot be opened is named. Lines out of order keep the order of
// the file: the report decides what a step back in time means.
struct RecordRead {
    QList<RecordLine> lines;
    int skipped = 0;
    QStringList unreadable;
};

RecordRead readRecords(const QString& path);
// A time as the records hold it; for a local QDateTime `t`: wallClock(t.date(), t.time()).
QDateTime wallClock(const QDate& date, const QTime& time);
// The line a record file holds, with its line break, in UTF-8.
QByteArray recordLine(const QDateTime& at, const QString& text);
// One line; an empty date when it is not a record line.
RecordLine parseRecordLine(const QString& line);

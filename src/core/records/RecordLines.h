#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// A line of a record file: "yyyy-MM-dd hh:mm:ss  text", local time.
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
// One line; an empty date when it is not a record line.
RecordLine parseRecordLine(const QString& line);

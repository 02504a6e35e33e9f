#pragma once

#include "core/records/RecordFile.h"
#include "core/records/RecordLines.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class NumberTable;

// Every save that went out, one line per changed cell and per clearing of charges, with the
// operator's login name, so that a house can tell afterwards who changed what and when.
// UTF-8 text in a `RecordFile` beside the alarm journal, two blanks between the parts:
//
//   2026-12-07 21:30:00  bediener  Verb. 3  Gebühren gelöscht: Nst. 102 (12.50)
//   2026-12-07 21:30:00  bediener  Verb. 3  Ruf/Zi.-Nummer: 102 → 112
//
// Like the journal, it never stands in the way of a save: a line that cannot be written is
// lost, and only the first such failure of a run is reported.
class ChangeLog : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    ChangeLog(QString filePath, QString login, Clock now, qint64 limitBytes = 1024 * 1024,
              QObject* parent = nullptr);

    // Records what the table's saves send from now on.
    void follow(const NumberTable& table);
    const QString& filePath() const { return m_file.path(); }

signals:
    void cannotWrite(const QString& message);

private:
    void record(const QString& line, const QString& change);

    RecordFile m_file;
    QString m_login;
    Clock m_now;
};

// The change log of the client started with this command-line text, beside its journal.
QString changeLogPath(const QString& dataDir, const QString& commandLineText);

// A line of the change log read back, its texts as the file shows them ("(leer)" for an
// empty cell, control characters escaped).
struct ChangeRow {
    QDateTime at;
    QString login;
    QString line;  // "Verb. 3"
    QString field; // the column's title, or "Gebühren gelöscht"
    QString old;   // for a clearing: "Nst. 102 (12.50)"
    QString now;   // for a clearing: empty
};

// The rows of the lines read; lines in another form are added to `read.skipped`.
QList<ChangeRow> changeRows(RecordRead& read);
// UTF-8 with a byte-order mark, ';'-separated, a heading line, as German spreadsheet programs
// open it.
QByteArray changeCsv(const QList<ChangeRow>& rows);

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
// UTF-8 text in a `RecordFile` beside the alarm journal.
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
    RecordFile m_file;
    QString m_login;
    Clock m_now;
    bool m_failureReported = false;
};

// The change log of the client started with this command-line text, beside its journal.
QString changeLogPath(const QString& dataDir, const QString& commandLineText);

// A line of the change log read back.
struct ChangeRow {
    QDateTime at;
    QString login;
    QString line;  // "Verb. 3"
    QString field; // the column's title, or "Gebühren gelöscht"
    QString old;
    QString now;
};

// The rows of the lines read; lines in another form are added to `read.skipped`.
QList<ChangeRow> changeRows(RecordRead& read);
QByteArray changeCsv(const QList<ChangeRow>& rows);

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The simulator's table: one fixed-column line per row, kept in memory and in a text file
// (Windows-1252, one line per row, LF after each). Every change reaches the file before it
// shows in memory, so what a client is told always matches what a restart would read.
class TableStore {
public:
    explicit TableStore(QString path) : m_path(std::move(path)) {}

    // Reads the file, or writes the sample table when there is none yet. Temporary files that
    // an interrupted write of this table left behind are removed first.
    bool open(QString* error);

    const QString& path() const { return m_path; }
    const QList<QByteArray>& rows() const { return m_rows; }

    // The body of the table frame: every row followed by the protocol's line end.
    QByteArray tableBody() const;

    // Each returns false, with the reason in `message`, when nothing was changed; on success
    // `message` says what changed.

    // Records in row order from row 0; numbers and remarks replaced, charges kept.
    bool applySave(const QList<QByteArray>& records, QString* message);
    // Every row whose trimmed number equals `number` gets the charges "0.00".
    bool clearCharges(const QByteArray& number, QString* message);
    // Row counted from 0; the amount at most six bytes.
    bool setCharges(qsizetype row, const QByteArray& amount, QString* message);

    // Called while a change is written but not yet in place, where a crash would leave it.
    // Returning false abandons the change there.
    void setBeforeCommit(std::function<bool()> hook) { m_beforeCommit = std::move(hook); }

private:
    bool commit(QList<QByteArray> rows, QString* error);

    QString m_path;
    std::function<bool()> m_beforeCommit;
    QList<QByteArray> m_rows;
};

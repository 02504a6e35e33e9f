#include "TableStore.h"

#include "SampleTable.h"
#include "SimLog.h"
#include "TableLine.h"
#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray kClearedCharges("0.00");

QList<QByteArray> parseFile(const QByteArray& content) {
    QList<QByteArray> rows = content.split('\n');
    // The LF after the last row leaves one empty piece that is not a row.
    if (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    for (QByteArray& row : rows)
        if (row.endsWith('\r')) // a file touched by a Windows editor
            row.chop(1);
    return rows;
}

QByteArray fileContent(const QList<QByteArray>& rows) {
    QByteArray out;
    for (const QByteArray& row : rows)
        out.append(row).append('\n');
    return out;
}

} // namespace

bool TableStore::open(QString* error) {
    // Only a crash or a kill between writing and renaming leaves these; none is the table.
    for (const QString& leftover : m_file.removeLeftovers())
        qCInfo(lcSim).noquote() << "removed" << leftover << "left by an interrupted write";
    QFile in(path());
    if (in.open(QIODevice::ReadOnly)) {
        m_rows = parseFile(in.readAll());
        return true;
    }
    if (in.exists()) {
        *error = QStringLiteral("cannot read %1: %2").arg(path(), in.errorString());
        return false;
    }
    const QString dir = QFileInfo(path()).absolutePath();
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return false;
    }
    return commit(sampleTable(), error);
}

QByteArray TableStore::tableBody() const {
    QByteArray body;
    for (const QByteArray& row : m_rows)
        body.append(row).append(frames::kLineEnd);
    return body;
}

bool TableStore::applySave(const QList<QByteArray>& records, QString* message) {
    // A client shows at most the rows it was sent; rows beyond its grid stay as they are.
    if (records.size() > m_rows.size()) {
        *message = QStringLiteral("%1 rows sent, the table has only %2")
                       .arg(records.size())
                       .arg(m_rows.size());
        return false;
    }
    QList<QByteArray> next = m_rows;
    for (qsizetype i = 0; i < records.size(); ++i)
        next[i] = tableline::fromRecord(records[i], tableline::charges(m_rows[i]));
    if (!commit(std::move(next), message))
        return false;
    *message = QStringLiteral("%1 rows saved").arg(records.size());
    return true;
}

bool TableStore::clearCharges(const QByteArray& number, QString* message) {
    QList<QByteArray> next = m_rows;
    int cleared = 0;
    for (QByteArray& row : next) {
        if (tableline::trimmed(tableline::number(row)) == number) {
            row = tableline::withCharges(row, kClearedCharges);
            ++cleared;
        }
    }
    if (cleared == 0) {
        *message = QStringLiteral("no row has the number %1").arg(wire::fromWire(number));
        return false;
    }
    if (!commit(std::move(next), message))
        return false;
    *message = QStringLiteral("charges of %1 cleared in %2 row(s)")
                   .arg(wire::fromWire(number))
                   .arg(cleared);
    return true;
}

bool TableStore::setCharges(qsizetype row, const QByteArray& amount, QString* message) {
    if (row < 0 || row >= m_rows.size()) {
        *message = QStringLiteral("no row %1 (the table has %2)").arg(row + 1).arg(m_rows.size());
        return false;
    }
    if (amount.size() > tableline::kChargesWidth) {
        *message = QStringLiteral("amount longer than %1 characters").arg(tableline::kChargesWidth);
        return false;
    }
    QList<QByteArray> next = m_rows;
    next[row] = tableline::withCharges(next[row], amount);
    if (!commit(std::move(next), message))
        return false;
    *message = QStringLiteral("charges of row %1 set").arg(row + 1);
    return true;
}

bool TableStore::commit(QList<QByteArray> rows, QString* error) {
    if (!m_file.write(fileContent(rows), error))
        return false;
    m_rows = std::move(rows);
    return true;
}

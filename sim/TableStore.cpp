#include "TableStore.h"

#include "SampleTable.h"
#include "SimLog.h"
#include "TableLine.h"
#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

const QByteArray kClearedCharges("0.00");

// QSaveFile writes beside the target, under the target's name, a dot and six random letters
// (QTemporaryFile's naming), and renames that over the target on commit. Where the system
// offers files without a name (Linux), the name exists only for the moment of the rename;
// elsewhere, Windows above all, for the whole write. A kill in that time leaves it behind.
//
// A name of one case only is left alone, though Qt makes one now and then: a copy the operator
// keeps as table.txt.backup looks the same, and a stray temporary costs nothing but room.
bool isLeftoverOf(const QString& name, const QString& targetName) {
    constexpr qsizetype kRandomLength = 6;
    const QString prefix = targetName + QLatin1Char('.');
    if (name.size() != prefix.size() + kRandomLength || !name.startsWith(prefix))
        return false;
    const QStringView random = QStringView(name).mid(prefix.size());
    const auto upper = [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); };
    const auto lower = [](QChar c) { return c >= QLatin1Char('a') && c <= QLatin1Char('z'); };
    return std::all_of(random.begin(), random.end(),
                       [&](QChar c) { return upper(c) || lower(c); }) &&
           std::any_of(random.begin(), random.end(), upper) &&
           std::any_of(random.begin(), random.end(), lower);
}

QStringList removeLeftovers(const QString& path) {
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    QStringList removed;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (isLeftoverOf(name, target.fileName()) && QFile::remove(dir.filePath(name)))
            removed << dir.filePath(name);
    }
    return removed;
}

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
    // Only a crash or a kill before the rename leaves these; none is the table.
    for (const QString& leftover : removeLeftovers(m_path))
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
    // The old table stays until commit() renames the new one, synced, over it: a crash or a
    // kill at any moment leaves one or the other, never a mix.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, out.errorString());
        return false;
    }
    const QByteArray content = fileContent(rows);
    if (out.write(content) != content.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, out.errorString());
        return false;
    }
    if (m_beforeCommit && !m_beforeCommit()) {
        *error = QStringLiteral("write of %1 abandoned before it took effect").arg(m_path);
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("cannot replace %1: %2").arg(m_path, out.errorString());
        return false;
    }
    m_rows = std::move(rows);
    return true;
}

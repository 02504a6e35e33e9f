#include "core/records/ChangeLog.h"

#include "core/records/AlarmJournal.h"
#include "core/records/Csv.h"
#include "core/table/NumberTable.h"

#include <QDir>
#include <QRegularExpression>
#include <optional>
#include <utility>

namespace {

const QString kGap = QStringLiteral("  ");
const QString kArrow = QStringLiteral(" → ");
const QString kCleared = QStringLiteral("Gebühren gelöscht");

QString shown(const QString& text) {
    return text.isEmpty() ? QStringLiteral("(leer)") : journalText(text);
}

// Blanks at the ends of a login, or two together, would read back as the gap between parts.
QString loginText(const QString& login) {
    const QString text = journalText(login);
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool inner =
            i > 0 && i + 1 < text.size() && text[i - 1] != u' ' && text[i + 1] != u' ';
        out += text[i] == u' ' && !inner ? QStringLiteral("\\x20") : QString(text[i]);
    }
    return out;
}

std::optional<ChangeRow> changeRow(const RecordLine& record) {
    static const QRegularExpression lineForm(QStringLiteral("^Verb\\. [1-9][0-9]*$"));
    const QString& text = record.text;
    const qsizetype loginEnd = text.indexOf(kGap);
    const qsizetype lineEnd = text.indexOf(kGap, loginEnd + kGap.size());
    if (loginEnd <= 0 || lineEnd < 0)
        return std::nullopt;
    ChangeRow row;
    row.at = record.at;
    row.login = text.left(loginEnd);
    row.line = text.mid(loginEnd + kGap.size(), lineEnd - loginEnd - kGap.size());
    const QString change = text.mid(lineEnd + kGap.size());
    const qsizetype colon = change.indexOf(QStringLiteral(": "));
    if (!lineForm.match(row.line).hasMatch() || colon <= 0)
        return std::nullopt;
    row.field = change.left(colon);
    const QString value = change.mid(colon + 2);
    if (row.field == kCleared) {
        row.old = value;
        return row;
    }
    const QStringList texts = value.split(kArrow);
    if (texts.size() != 2)
        return std::nullopt;
    row.old = texts[0];
    row.now = texts[1];
    return row;
}

} // namespace

ChangeLog::ChangeLog(QString filePath, QString login, Clock now, qint64 limitBytes, QObject* parent)
    : QObject(parent),
      m_file(std::move(filePath), QStringLiteral("Das Änderungsprotokoll"), limitBytes),
      m_login(loginText(login)), m_now(std::move(now)) {}

void ChangeLog::follow(const NumberTable& table) {
    connect(&table, &NumberTable::chargesCleared, this,
            [this](const QString& line, const QString& nst, const QString& charges) {
                record(line, kCleared + QStringLiteral(": Nst. ") + shown(nst) +
                                 QStringLiteral(" (") + shown(charges) + u')');
            });
    connect(&table, &NumberTable::rowsSent, this, [this](const QList<SentChange>& changes) {
        for (const SentChange& c : changes)
            record(c.line, c.field + QStringLiteral(": ") + shown(c.old) + kArrow + shown(c.now));
    });
}

void ChangeLog::record(const QString& line, const QString& change) {
    const QString failure = m_file.record(m_now(), m_login + kGap + line + kGap + change);
    if (!failure.isEmpty())
        emit cannotWrite(failure);
}

QString changeLogPath(const QString& dataDir, const QString& commandLineText) {
    return recordPath(dataDir, QStringLiteral("Aenderungen"), commandLineText);
}

QList<ChangeRow> changeRows(RecordRead& read) {
    QList<ChangeRow> rows;
    for (const RecordLine& record : read.lines) {
        if (const std::optional<ChangeRow> row = changeRow(record))
            rows.append(*row);
        else
            ++read.skipped;
    }
    return rows;
}

QByteArray changeCsv(const QList<ChangeRow>& rows) {
    QByteArray out = csv::begin();
    out += csv::line({QStringLiteral("Datum"), QStringLiteral("Uhrzeit"),
                      QStringLiteral("Bediener"), QStringLiteral("Verb."), QStringLiteral("Feld"),
                      QStringLiteral("alt"), QStringLiteral("neu")});
    for (const ChangeRow& row : rows)
        out += csv::line({row.at.toString(QStringLiteral("dd.MM.yyyy")),
                          row.at.toString(QStringLiteral("hh:mm:ss")), row.login, row.line,
                          row.field, row.old, row.now});
    return out;
}

#include "RufNum/report/ChangeTableModel.h"

#include "RufNum/report/ReportTexts.h"

#include <utility>

namespace {
constexpr int kColumns = 6;
} // namespace

void ChangeTableModel::setRows(QList<ChangeRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ChangeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ChangeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ChangeTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const ChangeRow& row = m_rows.at(index.row());
    const QString texts[kColumns] = {
        report_text::dateTime(row.at), row.login, row.line, row.field, row.old, row.now};
    // Remarks can be longer than their column; the tip shows them whole.
    return texts[index.column()];
}

QVariant ChangeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList titles{QStringLiteral("Datum/Uhrzeit"), QStringLiteral("Bediener"),
                             QStringLiteral("Verb."),         QStringLiteral("Feld"),
                             QStringLiteral("alt"),           QStringLiteral("neu")};
    return titles.value(section);
}

QList<ChangeRow> changesIn(const QList<ChangeRow>& rows, const report::Filter& period) {
    QList<ChangeRow> in;
    for (const ChangeRow& row : rows)
        if (row.at >= period.from && row.at < period.to)
            in << row;
    return in;
}

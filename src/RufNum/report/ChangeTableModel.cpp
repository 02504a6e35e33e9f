#include "RufNum/report/ChangeTableModel.h"

#include "RufNum/report/ReportTexts.h"

ChangeTableModel::ChangeTableModel(QObject* parent)
    : RowTableModel({QStringLiteral("Datum/Uhrzeit"), QStringLiteral("Bediener"),
                     QStringLiteral("Verb."), QStringLiteral("Feld"), QStringLiteral("alt"),
                     QStringLiteral("neu")},
                    parent) {}

QVariant ChangeTableModel::data(const QModelIndex& index, int role) const {
    const ChangeRow* change = row(index);
    if (!change || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QString texts[] = {report_text::dateTime(change->at),
                             change->login,
                             change->line,
                             change->field,
                             change->old,
                             change->now};
    // Remarks can be longer than their column; the tip shows them whole.
    return texts[index.column()];
}

QList<ChangeRow> changesIn(const QList<ChangeRow>& rows, const report::Filter& period) {
    QList<ChangeRow> in;
    for (const ChangeRow& row : rows)
        if (row.at >= period.from && row.at < period.to)
            in << row;
    return in;
}

#include "RufNum/report/PeriodTableModel.h"

#include "RufNum/report/ReportTexts.h"

PeriodTableModel::PeriodTableModel(QObject* parent)
    : RowTableModel(
          {QStringLiteral("Ohne Überwachung"), QStringLiteral("von"), QStringLiteral("bis")},
          parent) {}

QVariant PeriodTableModel::data(const QModelIndex& index, int role) const {
    const report::Period* period = row(index);
    if (!period || role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return report::periodText(period->kind);
    case 1:
        return report_text::dateTime(period->from);
    case 2:
        return period->to ? report_text::dateTime(*period->to) : QStringLiteral("dauert an");
    }
    return {};
}

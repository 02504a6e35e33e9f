#include "RufNum/report/PeriodTableModel.h"

#include "RufNum/report/ReportTexts.h"

#include <utility>

void PeriodTableModel::setPeriods(QList<report::Period> periods) {
    beginResetModel();
    m_periods = std::move(periods);
    endResetModel();
}

int PeriodTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_periods.size());
}

int PeriodTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant PeriodTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_periods.size() || role != Qt::DisplayRole)
        return {};
    const report::Period& period = m_periods.at(index.row());
    switch (index.column()) {
    case 0:
        return report::periodText(period.kind);
    case 1:
        return report_text::dateTime(period.from);
    case 2:
        return period.to ? report_text::dateTime(*period.to) : QStringLiteral("dauert an");
    }
    return {};
}

QVariant PeriodTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList titles{QStringLiteral("Ohne Überwachung"), QStringLiteral("von"),
                             QStringLiteral("bis")};
    return titles.value(section);
}

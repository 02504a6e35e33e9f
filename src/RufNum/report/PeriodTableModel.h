#pragma once

#include "RufNum/report/RowTableModel.h"
#include "core/records/AlarmReport.h"

// The periods in which the client could not have seen an alarm: what, from, until.
class PeriodTableModel : public RowTableModel<report::Period> {
    Q_OBJECT
public:
    explicit PeriodTableModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

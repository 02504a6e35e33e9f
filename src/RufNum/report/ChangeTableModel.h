#pragma once

#include "RufNum/report/RowTableModel.h"
#include "core/records/AlarmReport.h"
#include "core/records/ChangeLog.h"

// The saved changes of a period, one row per changed cell, in the order they were saved.
class ChangeTableModel : public RowTableModel<ChangeRow> {
    Q_OBJECT
public:
    explicit ChangeTableModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

// The changes saved in [from, to) of the filter; its extension does not apply.
QList<ChangeRow> changesIn(const QList<ChangeRow>& rows, const report::Filter& period);

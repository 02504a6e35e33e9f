#pragma once

#include "core/records/AlarmReport.h"

#include <QAbstractTableModel>
#include <QList>

// The periods in which the client could not have seen an alarm: what, from, until.
class PeriodTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setPeriods(QList<report::Period> periods);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<report::Period> m_periods;
};

#pragma once

#include "core/records/AlarmReport.h"
#include "core/records/ChangeLog.h"

#include <QAbstractTableModel>
#include <QList>

// The saved changes of a period, one row per changed cell, in the order they were saved.
class ChangeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<ChangeRow> rows);
    const QList<ChangeRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<ChangeRow> m_rows;
};

// The changes saved in [from, to) of the filter; its extension does not apply.
QList<ChangeRow> changesIn(const QList<ChangeRow>& rows, const report::Filter& period);

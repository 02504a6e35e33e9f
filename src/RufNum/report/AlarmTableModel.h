#pragma once

#include "core/records/AlarmReport.h"

#include <QAbstractTableModel>
#include <QList>

// The alarms of a report, one row each, in the order they came. An alarm that still stands
// and was never acknowledged is drawn bold in red on a pale red ground; an acknowledgement
// later than the limit, or none, in dark red.
class AlarmTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Nst, Raised, AcknowledgedAfter, Acknowledgements, Ended, Duration, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<report::AlarmRow> rows, qint64 limitS);
    const QList<report::AlarmRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant text(const report::AlarmRow& row, int column) const;
    bool late(const report::AlarmRow& row) const;

    QList<report::AlarmRow> m_rows;
    qint64 m_limitS = 0;
};

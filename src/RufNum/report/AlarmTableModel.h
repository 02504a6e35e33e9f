#pragma once

#include "RufNum/report/RowTableModel.h"
#include "core/records/AlarmReport.h"

// The alarms of a report, one row each, in the order they came. An alarm that still stands
// and was never acknowledged is drawn bold in red on a pale red ground; an acknowledgement
// later than the limit, or none, in dark red.
class AlarmTableModel : public RowTableModel<report::AlarmRow> {
    Q_OBJECT
public:
    enum Column { Nst, Raised, AcknowledgedAfter, Acknowledgements, Ended, Duration };

    explicit AlarmTableModel(QObject* parent = nullptr);

    void setRows(QList<report::AlarmRow> rows, qint64 limitS);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QVariant text(const report::AlarmRow& row, int column) const;
    bool late(const report::AlarmRow& row) const;

    qint64 m_limitS = 0;
};

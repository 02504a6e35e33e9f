#pragma once

#include "RufNum/report/AlarmTableModel.h"
#include "RufNum/report/PeriodTableModel.h"
#include "core/records/AlarmReport.h"

#include <QWidget>

class FileExport;
class PeriodChoice;
class QLabel;
class QLineEdit;
class QSpinBox;
class ReportChart;

// The alarms of the report's period, of one extension or all: a summary, the chart, the
// table, the periods without a watch, and the exports.
class AlarmsTab : public QWidget {
    Q_OBJECT
public:
    AlarmsTab(const PeriodChoice& period, FileExport& files, QWidget* parent = nullptr);

    // The journal as last read, and what of it could not be read.
    void setReport(report::AlarmReport report, const QString& problems);

private:
    void select();
    void exportCsv();
    void exportPdf();
    qint64 limit() const;

    FileExport& m_files;
    report::AlarmReport m_report;
    AlarmTableModel m_alarms;
    PeriodTableModel m_periods;
    const PeriodChoice& m_period;
    QLineEdit* m_nst;
    QSpinBox* m_limit;
    QLabel* m_summary;
    ReportChart* m_chart;
    QLabel* m_problems;
};

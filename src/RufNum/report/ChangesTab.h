#pragma once

#include "RufNum/report/ChangeTableModel.h"
#include "core/records/ChangeLog.h"

#include <QWidget>

class FileExport;
class PeriodChoice;
class QLabel;

// The changes saved in the report's period, and their export; empty until given the log's rows.
class ChangesTab : public QWidget {
    Q_OBJECT
public:
    ChangesTab(const PeriodChoice& period, FileExport& files, QWidget* parent = nullptr);

    // The change log as last read, and what of it could not be read.
    void setRows(QList<ChangeRow> rows, const QString& problems);

private:
    void select();
    void exportCsv();

    FileExport& m_files;
    QList<ChangeRow> m_rows;
    ChangeTableModel m_changes;
    const PeriodChoice& m_period;
    QLabel* m_count;
    QLabel* m_problems;
};

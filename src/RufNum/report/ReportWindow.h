#pragma once

#include "RufNum/report/FileExport.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>

class AlarmsTab;
class ChangesTab;
class PeriodChoice;
class Prompts;

// "Alarmprotokoll": the alarm journal and the change log read back, beside the main window
// and without holding it up, so that the watch and its prompts go on while it is open.
class ReportWindow : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    ReportWindow(const QString& commandLineText, QString journalPath, QString changeLogPath,
                 Prompts& prompts, Clock now, QWidget* parent = nullptr);

    // Shown, or brought forward when it already was, with the files read afresh.
    void open();
    // Reads both files again ("Aktualisieren").
    void refresh();
    // Where exports go; the file dialog unless a test says otherwise.
    void setChooseFile(FileExport::ChooseFile choose) { m_files.setChooseFile(std::move(choose)); }

private:
    QString m_journalPath;
    QString m_changeLogPath;
    FileExport m_files;
    // One period for both tabs: what changed in the night is read beside its alarms.
    PeriodChoice* m_period;
    AlarmsTab* m_alarms;
    ChangesTab* m_changes;
};

#include "RufNum/report/ReportWindow.h"

#include "RufNum/BringToFront.h"
#include "RufNum/report/AlarmsTab.h"
#include "RufNum/report/ChangesTab.h"
#include "RufNum/report/PeriodChoice.h"
#include "RufNum/report/ReportTexts.h"
#include "core/records/AlarmReport.h"
#include "core/records/ChangeLog.h"
#include "core/records/RecordLines.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

ReportWindow::ReportWindow(const QString& commandLineText, QString journalPath,
                           QString changeLogPath, Prompts& prompts, Clock now, QWidget* parent)
    : QWidget(parent, Qt::Window), m_journalPath(std::move(journalPath)),
      m_changeLogPath(std::move(changeLogPath)), m_files(prompts),
      m_period(new PeriodChoice(std::move(now), this)),
      m_alarms(new AlarmsTab(*m_period, m_files, this)),
      m_changes(new ChangesTab(*m_period, m_files, this)) {
    setWindowTitle(commandLineText.isEmpty()
                       ? QStringLiteral("Alarmprotokoll")
                       : QStringLiteral("Alarmprotokoll – ") + commandLineText);
    auto* reread = new QPushButton(QStringLiteral("Aktualisieren"), this);
    reread->setObjectName(QStringLiteral("refresh"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_period);
    top->addStretch();
    top->addWidget(reread);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(m_alarms, QStringLiteral("Alarme"));
    tabs->addTab(m_changes, QStringLiteral("Änderungen"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs);
    connect(reread, &QPushButton::clicked, this, &ReportWindow::refresh);
    // On a small screen the window and its frame must fit, or its title bar is out of reach.
    resize(QSize(1000, 760).boundedTo(screen()->availableGeometry().size() * 0.9));
}

void ReportWindow::open() {
    refresh();
    bringToFront(*this);
}

void ReportWindow::refresh() {
    const RecordRead journal = readRecords(m_journalPath);
    report::AlarmReport alarms = report::buildAlarmReport(journal.lines);
    // A line the report does not know is as lost to the operator as one in another form.
    const int skipped = journal.skipped + alarms.unknownLines;
    m_alarms->setReport(std::move(alarms), report_text::readProblems(skipped, journal.unreadable));
    RecordRead changes = readRecords(m_changeLogPath);
    QList<ChangeRow> rows = changeRows(changes);
    m_changes->setRows(std::move(rows),
                       report_text::readProblems(changes.skipped, changes.unreadable));
    // "Heute" and the others move on with the clock.
    m_period->refresh();
}

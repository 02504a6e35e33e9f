#include "RufNum/report/ChangesTab.h"

#include "RufNum/report/FileExport.h"
#include "RufNum/report/PeriodChoice.h"
#include "RufNum/report/ReportTexts.h"
#include "RufNum/report/ReportWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

ChangesTab::ChangesTab(const PeriodChoice& period, FileExport& files, QWidget* parent)
    : QWidget(parent), m_files(files), m_period(period), m_count(new QLabel(this)),
      m_problems(report_widgets::problems(this)) {
    m_count->setObjectName(QStringLiteral("count"));
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    auto* csv = new QPushButton(QStringLiteral("CSV exportieren …"), this);
    csv->setObjectName(QStringLiteral("csv"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(csv);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(report_widgets::table(&m_changes, QStringLiteral("changes"), this), 1);
    layout->addWidget(m_problems);
    layout->addLayout(buttons);

    connect(&m_period, &PeriodChoice::changed, this, &ChangesTab::select);
    connect(csv, &QPushButton::clicked, this, &ChangesTab::exportCsv);
}

void ChangesTab::setRows(QList<ChangeRow> rows, const QString& problems) {
    m_rows = std::move(rows);
    report_widgets::setProblems(m_problems, problems);
    select();
}

void ChangesTab::select() {
    m_changes.setRows(changesIn(m_rows, m_period.filter()));
    const int n = m_changes.rowCount();
    m_count->setText(n == 0   ? QStringLiteral("Keine Änderungen im Zeitraum")
                     : n == 1 ? QStringLiteral("1 Änderung")
                              : QStringLiteral("%1 Änderungen").arg(n));
}

void ChangesTab::exportCsv() {
    m_files.save(this, QStringLiteral("Änderungen als CSV exportieren"),
                 report_text::fileName(QStringLiteral("Änderungen"), m_period.filter(),
                                       QStringLiteral("csv")),
                 QStringLiteral("CSV-Dateien (*.csv)"), changeCsv(m_changes.rows()));
}

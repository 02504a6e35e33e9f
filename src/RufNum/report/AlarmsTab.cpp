#include "RufNum/report/AlarmsTab.h"

#include "RufNum/report/AlarmPdf.h"
#include "RufNum/report/FileExport.h"
#include "RufNum/report/PeriodChoice.h"
#include "RufNum/report/ReportChart.h"
#include "RufNum/report/ReportTexts.h"
#include "RufNum/report/ReportWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace {

QLabel* labelFor(QWidget* field, const QString& text) {
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

} // namespace

AlarmsTab::AlarmsTab(const PeriodChoice& period, FileExport& files, QWidget* parent)
    : QWidget(parent), m_files(files), m_period(period), m_nst(new QLineEdit(this)),
      m_limit(new QSpinBox(this)), m_summary(new QLabel(this)), m_chart(new ReportChart(this)),
      m_problems(report_widgets::problems(this)) {
    m_nst->setObjectName(QStringLiteral("nst"));
    m_nst->setPlaceholderText(QStringLiteral("alle"));
    m_nst->setMaximumWidth(90);
    m_nst->setClearButtonEnabled(true);
    m_limit->setObjectName(QStringLiteral("limit"));
    m_limit->setRange(1, 24 * 3600);
    m_limit->setValue(60);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);

    auto* filters = new QHBoxLayout;
    filters->addWidget(labelFor(m_nst, QStringLiteral("Nst.")));
    filters->addWidget(m_nst);
    filters->addSpacing(16);
    filters->addWidget(labelFor(m_limit, QStringLiteral("Grenze (s)")));
    filters->addWidget(m_limit);
    filters->addStretch();

    auto* periodsBox = new QWidget(this);
    auto* periodsLayout = new QVBoxLayout(periodsBox);
    periodsLayout->setContentsMargins(0, 0, 0, 0);
    periodsLayout->addWidget(
        new QLabel(QStringLiteral("Zeiten, in denen kein Alarm gemeldet werden konnte:"), this));
    periodsLayout->addWidget(report_widgets::table(&m_periods, QStringLiteral("periods"), this));
    // The alarms need the room; the periods are few, and the chart reads at a glance.
    auto* parts = new QSplitter(Qt::Vertical, this);
    parts->addWidget(m_chart);
    parts->addWidget(report_widgets::table(&m_alarms, QStringLiteral("alarms"), this));
    parts->addWidget(periodsBox);
    parts->setStretchFactor(0, 3);
    parts->setStretchFactor(1, 5);
    parts->setStretchFactor(2, 1);
    parts->setChildrenCollapsible(false);

    auto* csv = new QPushButton(QStringLiteral("CSV exportieren …"), this);
    csv->setObjectName(QStringLiteral("csv"));
    auto* pdf = new QPushButton(QStringLiteral("PDF exportieren …"), this);
    pdf->setObjectName(QStringLiteral("pdf"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(csv);
    buttons->addWidget(pdf);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_summary);
    layout->addWidget(parts, 1);
    layout->addWidget(m_problems);
    layout->addLayout(buttons);

    connect(&m_period, &PeriodChoice::changed, this, &AlarmsTab::select);
    connect(m_nst, &QLineEdit::textChanged, this, &AlarmsTab::select);
    connect(m_limit, &QSpinBox::valueChanged, this, &AlarmsTab::select);
    connect(csv, &QPushButton::clicked, this, &AlarmsTab::exportCsv);
    connect(pdf, &QPushButton::clicked, this, &AlarmsTab::exportPdf);
    select();
}

void AlarmsTab::setReport(report::AlarmReport report, const QString& problems) {
    m_report = std::move(report);
    report_widgets::setProblems(m_problems, problems);
    select();
}

qint64 AlarmsTab::limit() const {
    return m_limit->value();
}

void AlarmsTab::select() {
    report::Filter filter = m_period.filter();
    filter.nst = m_nst->text().trimmed();
    const QList<report::AlarmRow> rows = report::filtered(m_report.alarms, filter);
    m_alarms.setRows(rows, limit());
    m_periods.setRows(report::filtered(m_report.periods, filter));
    m_summary->setText(
        report_text::summary(report::summarize(rows, limit(), m_period.now()), limit()));
    m_chart->setData({filter, report::alarmsPerHour(rows, filter), rows, limit()});
}

void AlarmsTab::exportCsv() {
    m_files.save(
        this, QStringLiteral("Alarme als CSV exportieren"),
        report_text::fileName(QStringLiteral("Alarme"), m_period.filter(), QStringLiteral("csv")),
        QStringLiteral("CSV-Dateien (*.csv)"), report::alarmCsv(m_alarms.rows()));
}

void AlarmsTab::exportPdf() {
    AlarmPdf content;
    content.title = window()->windowTitle();
    content.period = m_period.text();
    if (!m_nst->text().trimmed().isEmpty())
        content.period += QStringLiteral(", Nst. ") + m_nst->text().trimmed();
    content.summary = m_summary->text();
    content.problems = m_problems->text();
    content.chart = m_chart->data();
    content.alarms = &m_alarms;
    content.periods = &m_periods;
    content.periodsTitle = QStringLiteral("Zeiten, in denen kein Alarm gemeldet werden konnte");
    m_files.save(
        this, QStringLiteral("Alarme als PDF exportieren"),
        report_text::fileName(QStringLiteral("Alarme"), m_period.filter(), QStringLiteral("pdf")),
        QStringLiteral("PDF-Dateien (*.pdf)"),
        [&content](QIODevice& file, QString& why) { return writeAlarmPdf(file, content, why); });
}

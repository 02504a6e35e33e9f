#pragma once

#include "RufNum/report/ReportChart.h"

#include <QString>

class QAbstractItemModel;
class QIODevice;

// What the printed alarm report holds: a heading with the instance and the period, the
// summary, the chart, and the tables as their models show them.
struct AlarmPdf {
    QString title;
    QString period;
    QString summary;
    QString problems;
    ChartData chart;
    const QAbstractItemModel* alarms = nullptr;
    const QAbstractItemModel* periods = nullptr;
    QString periodsTitle;
};

// A4 pages, the tables broken across them with their column titles repeated, each page
// numbered; false with the reason in `why` when it could not be written.
bool writeAlarmPdf(QIODevice& device, const AlarmPdf& content, QString& why);

#pragma once

#include "core/records/AlarmReport.h"

#include <QList>
#include <QWidget>

class QPainter;

struct ChartData {
    report::Filter period;
    QList<int> perHour; // report::alarmsPerHour of the period
    QList<report::AlarmRow> rows;
    qint64 limitS = 60;
};

// Draws the chart into `area` of any painter, a PDF page's as well as the widget's: above,
// the alarms per hour as bars; below, on the same time axis, each alarm's acknowledgement
// time as a dot against a line at the limit, alarms never acknowledged as a red cross on top.
void drawReportChart(QPainter& painter, const QRectF& area, const ChartData& data);

// The chart on the screen, on white as on paper.
class ReportChart : public QWidget {
    Q_OBJECT
public:
    explicit ReportChart(QWidget* parent = nullptr);
    void setData(ChartData data);
    const ChartData& data() const { return m_data; }
    QSize sizeHint() const override { return {640, 260}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ChartData m_data;
};

#pragma once

#include "core/records/AlarmReport.h"

#include <QColor>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QWidget>
#include <optional>

class QPainter;

struct ChartData {
    report::Filter period;
    QList<int> perHour; // report::alarmsPerHour of the period
    QList<report::AlarmRow> rows;
    qint64 limitS = 60;
};

// Where the chart puts its parts, from the top left corner of its area: above, the alarms per
// hour as bars; below, on the same time axis, each alarm's acknowledgement time as a dot
// against a dashed line at the limit, alarms never acknowledged as a red cross on top.
struct ChartLayout {
    struct Text {
        QString text;
        QPointF at; // where the baseline begins, unless there is a box
        QRectF box; // aligned in by `align`
        int align = 0;
        QColor colour = Qt::black;
    };
    struct Mark {
        QPointF at;
        QColor colour; // in time or late; none for never acknowledged, drawn as a cross
    };

    QList<QLineF> grid; // light grey, under the rest
    QList<QLineF> axes;
    QList<QRectF> bars;
    QList<Text> texts;
    std::optional<QLineF> limit;
    QList<Mark> marks;
};

ChartLayout layoutReportChart(const ChartData& data, const QSizeF& size, const QFont& font);
void paintReportChart(QPainter& painter, const QRectF& area, const ChartLayout& chart);
// Into `area` of any painter, a PDF page's as well as the widget's, in the painter's font.
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

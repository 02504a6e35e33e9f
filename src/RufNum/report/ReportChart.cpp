#include "RufNum/report/ReportChart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QColor kBar(0x4a, 0x7e, 0xbb);
const QColor kInTime(0x2e, 0x7d, 0x32);
const QColor kLate(0xe6, 0x51, 0x00);
const QColor kNever(Qt::red);
const QColor kGrid(0xdd, 0xdd, 0xdd);

// 1, 2, 5, 10, 20, 50 … : the smallest such step that needs at most `ticks` steps to `max`.
qint64 niceStep(qint64 max, int ticks) {
    qint64 step = 1;
    for (int i = 0;; ++i) {
        step = qint64(std::pow(10, i / 3)) * (i % 3 == 0 ? 1 : i % 3 == 1 ? 2 : 5);
        if (step * ticks >= max)
            return step;
    }
}

// Hours between labels on the time axis, so that the labels do not touch.
int hourStep(double pixelsPerHour, double labelWidth) {
    for (int step : {1, 2, 3, 4, 6, 12, 24})
        if (step * pixelsPerHour >= labelWidth)
            return step;
    return 24 * int(std::ceil(labelWidth / (24 * pixelsPerHour)));
}

struct Axes {
    QRectF plot;
    qint64 yMax;
    qint64 yStep;
};

// A panel's title above, its value labels on the left, grid lines across.
void drawPanel(QPainter& p, const Axes& axes, const QString& title, const QString& unit) {
    const QFontMetricsF fm(p.font());
    p.setPen(Qt::black);
    p.drawText(QPointF(axes.plot.left(), axes.plot.top() - fm.descent() - 4), title);
    for (qint64 v = 0; v <= axes.yMax; v += axes.yStep) {
        const double y = axes.plot.bottom() - axes.plot.height() * double(v) / double(axes.yMax);
        p.setPen(kGrid);
        p.drawLine(QPointF(axes.plot.left(), y), QPointF(axes.plot.right(), y));
        p.setPen(Qt::black);
        const QString label = QString::number(v) + unit;
        p.drawText(QRectF(0, y - fm.height() / 2, axes.plot.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }
    p.setPen(Qt::black);
    p.drawLine(axes.plot.bottomLeft(), axes.plot.bottomRight());
    p.drawLine(axes.plot.bottomLeft(), axes.plot.topLeft());
}

void drawTimeAxis(QPainter& p, const QRectF& top, const QRectF& bottom, const ChartData& data) {
    const QFontMetricsF fm(p.font());
    const int hours = int(data.perHour.size());
    const double perHour = bottom.width() / hours;
    const int step = hourStep(perHour, fm.horizontalAdvance(QStringLiteral("00:00")) + 12);
    double free = 0; // where the last label ended
    for (int i = 0; i <= hours; i += step) {
        const double x = bottom.left() + i * perHour;
        p.setPen(kGrid);
        p.drawLine(QPointF(x, top.top()), QPointF(x, top.bottom()));
        p.drawLine(QPointF(x, bottom.top()), QPointF(x, bottom.bottom()));
        const QDateTime at = data.period.from.addSecs(3600LL * i);
        // At midnight the date: a night or a week reads by its days.
        const QString label = at.time() == QTime(0, 0) ? at.toString(QStringLiteral("dd.MM."))
                                                       : at.toString(QStringLiteral("hh:mm"));
        p.setPen(Qt::black);
        const double w = fm.horizontalAdvance(label);
        // The first and last labels stay whole inside the chart.
        const double left = std::clamp(x - w / 2, 0.0, bottom.right() + 10 - w);
        if (left < free)
            continue;
        p.drawText(QPointF(left, bottom.bottom() + fm.ascent() + 4), label);
        free = left + w + 6;
    }
}

void drawBars(QPainter& p, const QRectF& plot, const ChartData& data, qint64 yMax) {
    const QFontMetricsF fm(p.font());
    const double perHour = plot.width() / data.perHour.size();
    const double gap = perHour > 4 ? 1 : 0;
    for (int i = 0; i < data.perHour.size(); ++i) {
        const int count = data.perHour.at(i);
        if (count == 0)
            continue;
        const double h = plot.height() * count / double(yMax);
        const QRectF bar(plot.left() + i * perHour + gap, plot.bottom() - h, perHour - 2 * gap, h);
        p.fillRect(bar, kBar);
        const QString label = QString::number(count);
        if (fm.horizontalAdvance(label) + 2 <= perHour) {
            p.setPen(Qt::black);
            p.drawText(QRectF(bar.left(), bar.top() - fm.height(), bar.width(), fm.height()),
                       Qt::AlignHCenter | Qt::AlignBottom, label);
        }
    }
}

void drawAcknowledgements(QPainter& p, const Axes& axes, const ChartData& data) {
    const QRectF& plot = axes.plot;
    const double seconds = double(data.period.from.secsTo(data.period.to));
    const auto yOf = [&](qint64 v) {
        return plot.bottom() - plot.height() * v / double(axes.yMax);
    };
    const double limitY = yOf(data.limitS);
    QPen dashed(kLate, 1.5, Qt::DashLine);
    p.setPen(dashed);
    p.drawLine(QPointF(plot.left(), limitY), QPointF(plot.right(), limitY));
    const QFontMetricsF fm(p.font());
    const QString limit = QStringLiteral("Grenze %1 s").arg(data.limitS);
    p.drawText(QPointF(plot.right() - fm.horizontalAdvance(limit) - 2, limitY - fm.descent() - 2),
               limit);
    const double r = 3.5;
    p.setRenderHint(QPainter::Antialiasing);
    for (const report::AlarmRow& row : data.rows) {
        const double x = plot.left() + plot.width() * data.period.from.secsTo(row.raised) / seconds;
        if (!row.acknowledgedAfterS) {
            p.setPen(QPen(kNever, 2));
            const double y = plot.top() + r;
            p.drawLine(QPointF(x - r, y - r), QPointF(x + r, y + r));
            p.drawLine(QPointF(x - r, y + r), QPointF(x + r, y - r));
            continue;
        }
        const QColor c = *row.acknowledgedAfterS > data.limitS ? kLate : kInTime;
        p.setPen(c.darker(130));
        p.setBrush(c);
        p.drawEllipse(QPointF(x, yOf(*row.acknowledgedAfterS)), r, r);
    }
    p.setBrush(Qt::NoBrush);
    p.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

void drawReportChart(QPainter& p, const QRectF& area, const ChartData& data) {
    p.save();
    p.fillRect(area, Qt::white);
    p.translate(area.topLeft());
    const QRectF box(QPointF(0, 0), area.size());
    if (data.rows.isEmpty() || data.perHour.isEmpty()) {
        p.setPen(Qt::darkGray);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("Keine Alarme im Zeitraum"));
        p.restore();
        return;
    }
    const QFontMetricsF fm(p.font());
    qint64 longest = data.limitS;
    bool never = false;
    for (const report::AlarmRow& row : data.rows) {
        longest = std::max(longest, row.acknowledgedAfterS.value_or(0));
        never = never || !row.acknowledgedAfterS;
    }
    const double line = fm.height();
    const double plots = box.height() - 3 * line - 3 * 8;
    // As many value labels as fit, one and a half lines apart, four at most.
    const int ticks = std::clamp(int(plots * 0.5 / (1.5 * line)), 1, 4);
    const qint64 ackStep = niceStep(longest + longest / 5 + 1, ticks);
    const qint64 ackMax = ackStep * ((longest + longest / 5) / ackStep + 1);
    const double left = fm.horizontalAdvance(QString::number(ackMax) + QStringLiteral(" s")) + 10;
    const double right = box.width() - 12;
    const QRectF top(left, line + 8, right - left, plots * 0.5);
    const QRectF bottom(left, top.bottom() + line + 16, right - left, plots * 0.5 - 8);

    const int most = *std::max_element(data.perHour.begin(), data.perHour.end());
    const qint64 countStep = niceStep(most + 1, ticks);
    const Axes counts{top, countStep * ((most + 1 + countStep - 1) / countStep), countStep};
    drawTimeAxis(p, top, bottom, data);
    drawPanel(p, counts, QStringLiteral("Alarme je Stunde"), QString());
    drawBars(p, top, data, counts.yMax);
    const Axes acks{bottom, ackMax, ackStep};
    drawPanel(p, acks, QStringLiteral("Quittiert nach (s)"), QStringLiteral(" s"));
    if (never) {
        p.setPen(kNever);
        p.drawText(
            QPointF(bottom.left() + fm.horizontalAdvance(QStringLiteral("Quittiert nach (s)")) + 24,
                    bottom.top() - fm.descent() - 4),
            QStringLiteral("× nicht quittiert"));
    }
    drawAcknowledgements(p, acks, data);
    p.restore();
}

ReportChart::ReportChart(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(220);
    setAccessibleName(QStringLiteral("Diagramm: Alarme je Stunde und Quittierungszeiten"));
}

void ReportChart::setData(ChartData data) {
    m_data = std::move(data);
    update();
}

void ReportChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawReportChart(painter, rect(), m_data);
}

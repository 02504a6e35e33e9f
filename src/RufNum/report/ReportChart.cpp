#include "RufNum/report/ReportChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QColor kBar(0x4a, 0x7e, 0xbb);
const QColor kInTime(0x2e, 0x7d, 0x32);
const QColor kLate(0xe6, 0x51, 0x00);
const QColor kNever(Qt::red);
const QColor kGrid(0xdd, 0xdd, 0xdd);
constexpr double kMarkRadius = 3.5;

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

using Text = ChartLayout::Text;

Text textFrom(const QString& text, const QPointF& baseline, const QColor& colour = Qt::black) {
    return {text, baseline, {}, 0, colour};
}

Text textIn(const QString& text, const QRectF& box, int align, const QColor& colour = Qt::black) {
    return {text, {}, box, align, colour};
}

// A panel's title above, its value labels on the left, grid lines across.
void panel(ChartLayout& out, const QFontMetricsF& fm, const Axes& axes, const QString& title,
           const QString& unit) {
    out.texts << textFrom(title, QPointF(axes.plot.left(), axes.plot.top() - fm.descent() - 4));
    for (qint64 v = 0; v <= axes.yMax; v += axes.yStep) {
        const double y = axes.plot.bottom() - axes.plot.height() * double(v) / double(axes.yMax);
        out.grid << QLineF(axes.plot.left(), y, axes.plot.right(), y);
        out.texts << textIn(QString::number(v) + unit,
                            QRectF(0, y - fm.height() / 2, axes.plot.left() - 6, fm.height()),
                            Qt::AlignRight | Qt::AlignVCenter);
    }
    out.axes << QLineF(axes.plot.bottomLeft(), axes.plot.bottomRight())
             << QLineF(axes.plot.bottomLeft(), axes.plot.topLeft());
}

void timeAxis(ChartLayout& out, const QFontMetricsF& fm, const QRectF& top, const QRectF& bottom,
              const ChartData& data) {
    const int hours = int(data.perHour.size());
    const double perHour = bottom.width() / hours;
    const int step = hourStep(perHour, fm.horizontalAdvance(QStringLiteral("00:00")) + 12);
    double free = 0; // where the last label ended
    for (int i = 0; i <= hours; i += step) {
        const double x = bottom.left() + i * perHour;
        out.grid << QLineF(x, top.top(), x, top.bottom())
                 << QLineF(x, bottom.top(), x, bottom.bottom());
        const QDateTime at = data.period.from.addSecs(3600LL * i);
        // At midnight the date: a night or a week reads by its days.
        const QString label = at.time() == QTime(0, 0) ? at.toString(QStringLiteral("dd.MM."))
                                                       : at.toString(QStringLiteral("hh:mm"));
        const double w = fm.horizontalAdvance(label);
        // The first and last labels stay whole inside the chart.
        const double left = std::clamp(x - w / 2, 0.0, bottom.right() + 10 - w);
        if (left < free)
            continue;
        out.texts << textFrom(label, QPointF(left, bottom.bottom() + fm.ascent() + 4));
        free = left + w + 6;
    }
}

void bars(ChartLayout& out, const QFontMetricsF& fm, const QRectF& plot, const ChartData& data,
          qint64 yMax) {
    const double perHour = plot.width() / data.perHour.size();
    const double gap = perHour > 4 ? 1 : 0;
    for (int i = 0; i < data.perHour.size(); ++i) {
        const int count = data.perHour.at(i);
        if (count == 0)
            continue;
        const double h = plot.height() * count / double(yMax);
        const QRectF bar(plot.left() + i * perHour + gap, plot.bottom() - h, perHour - 2 * gap, h);
        out.bars << bar;
        const QString label = QString::number(count);
        if (fm.horizontalAdvance(label) + 2 <= perHour)
            out.texts << textIn(
                label, QRectF(bar.left(), bar.top() - fm.height(), bar.width(), fm.height()),
                Qt::AlignHCenter | Qt::AlignBottom);
    }
}

void acknowledgements(ChartLayout& out, const QFontMetricsF& fm, const Axes& axes,
                      const ChartData& data) {
    const QRectF& plot = axes.plot;
    const double seconds = double(data.period.from.secsTo(data.period.to));
    const auto yOf = [&](qint64 v) {
        return plot.bottom() - plot.height() * v / double(axes.yMax);
    };
    const double limitY = yOf(data.limitS);
    out.limit = QLineF(plot.left(), limitY, plot.right(), limitY);
    const QString limit = QStringLiteral("Grenze %1 s").arg(data.limitS);
    out.texts << textFrom(
        limit, QPointF(plot.right() - fm.horizontalAdvance(limit) - 2, limitY - fm.descent() - 2),
        kLate);
    for (const report::AlarmRow& row : data.rows) {
        const double x = plot.left() + plot.width() * data.period.from.secsTo(row.raised) / seconds;
        if (!row.acknowledgedAfterS)
            out.marks << ChartLayout::Mark{QPointF(x, plot.top() + kMarkRadius), {}};
        else
            out.marks << ChartLayout::Mark{QPointF(x, yOf(*row.acknowledgedAfterS)),
                                           *row.acknowledgedAfterS > data.limitS ? kLate : kInTime};
    }
}

} // namespace

ChartLayout layoutReportChart(const ChartData& data, const QSizeF& size, const QFont& font) {
    ChartLayout out;
    const QRectF box(QPointF(0, 0), size);
    if (data.rows.isEmpty() || data.perHour.isEmpty()) {
        out.texts << textIn(QStringLiteral("Keine Alarme im Zeitraum"), box, Qt::AlignCenter,
                            Qt::darkGray);
        return out;
    }
    const QFontMetricsF fm(font);
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
    timeAxis(out, fm, top, bottom, data);
    panel(out, fm, counts, QStringLiteral("Alarme je Stunde"), QString());
    bars(out, fm, top, data, counts.yMax);
    const Axes acks{bottom, ackMax, ackStep};
    panel(out, fm, acks, QStringLiteral("Quittiert nach (s)"), QStringLiteral(" s"));
    if (never)
        out.texts << textFrom(
            QStringLiteral("× nicht quittiert"),
            QPointF(bottom.left() + fm.horizontalAdvance(QStringLiteral("Quittiert nach (s)")) + 24,
                    bottom.top() - fm.descent() - 4),
            kNever);
    acknowledgements(out, fm, acks, data);
    return out;
}

void paintReportChart(QPainter& p, const QRectF& area, const ChartLayout& chart) {
    p.save();
    p.fillRect(area, Qt::white);
    p.translate(area.topLeft());
    p.setPen(kGrid);
    p.drawLines(chart.grid);
    p.setPen(Qt::black);
    p.drawLines(chart.axes);
    for (const QRectF& bar : chart.bars)
        p.fillRect(bar, kBar);
    for (const Text& text : chart.texts) {
        p.setPen(text.colour);
        if (text.box.isEmpty())
            p.drawText(text.at, text.text);
        else
            p.drawText(text.box, text.align, text.text);
    }
    if (chart.limit) {
        p.setPen(QPen(kLate, 1.5, Qt::DashLine));
        p.drawLine(*chart.limit);
    }
    const double r = kMarkRadius;
    p.setRenderHint(QPainter::Antialiasing);
    for (const ChartLayout::Mark& mark : chart.marks) {
        const QPointF& c = mark.at;
        if (!mark.colour.isValid()) {
            p.setPen(QPen(kNever, 2));
            p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
            p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
            continue;
        }
        p.setPen(mark.colour.darker(130));
        p.setBrush(mark.colour);
        p.drawEllipse(c, r, r);
    }
    p.restore();
}

void drawReportChart(QPainter& p, const QRectF& area, const ChartData& data) {
    paintReportChart(p, area, layoutReportChart(data, area.size(), p.font()));
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

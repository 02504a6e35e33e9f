#include "RufNum/report/AlarmPdf.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace {

// At the resolution of a screen, fonts, the chart and line widths come out as on screen.
constexpr int kResolution = 96;
constexpr double kChartHeight = 280;
constexpr double kCellPadding = 5;

// The desktop's font, in the size and weight asked for.
QFont font(double points, bool bold = false, bool italic = false) {
    QFont f;
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Lays the report out on pages of `size`; with a painter it also draws, without one it only
// counts the pages, so that every page can say how many there are.
class Pages {
public:
    Pages(QPdfWriter& writer, QPainter* painter, int total)
        : m_writer(writer), m_painter(painter), m_size(writer.width(), writer.height()),
          m_total(total), m_font(font(9)) {
        footer();
    }

    int count() const { return m_page; }

    // The heading's lines, on the first page, and a table's title, after the table made room.
    void text(const QString& text, const QFont& textFont, double after = 6) {
        if (text.isEmpty())
            return;
        const QRectF box =
            QFontMetricsF(textFont, &m_writer)
                .boundingRect(QRectF(0, 0, m_size.width(), 1e6), Qt::TextWordWrap, text);
        if (m_painter) {
            m_painter->setFont(textFont);
            m_painter->setPen(Qt::black);
            m_painter->drawText(QRectF(0, m_y, m_size.width(), box.height()), Qt::TextWordWrap,
                                text);
        }
        m_y += box.height() + after;
    }

    // Only ever under the heading's few lines on the first page, where it always fits.
    void chart(const ChartData& data) {
        if (m_painter) {
            m_painter->setFont(m_font);
            drawReportChart(*m_painter, QRectF(0, m_y, m_size.width(), kChartHeight), data);
        }
        m_y += kChartHeight + 12;
    }

    void table(const QString& title, const QAbstractItemModel& model) {
        const QFont bold = font(9, true);
        const QFontMetricsF fm(m_font, &m_writer);
        const double rowHeight = fm.height() + 2 * 2;
        const QList<double> widths = columnWidths(model, QFontMetricsF(bold, &m_writer));
        // A title is never left alone at the foot of a page.
        const QFont heading = font(11, true);
        room(QFontMetricsF(heading, &m_writer).height() + 3 * rowHeight);
        text(title, heading, 4);
        titles(model, widths, rowHeight, bold);
        for (int r = 0; r < model.rowCount(); ++r) {
            if (m_y + rowHeight > bottom()) {
                newPage();
                titles(model, widths, rowHeight, bold);
            }
            if (m_painter)
                cells(model, r, widths, rowHeight);
            m_y += rowHeight;
        }
        m_y += 12;
    }

private:
    double bottom() const {
        return m_size.height() - QFontMetricsF(m_font, &m_writer).height() - 8;
    }

    void room(double height) {
        if (m_y > 0 && m_y + height > bottom())
            newPage();
    }

    void newPage() {
        if (m_painter)
            m_writer.newPage();
        ++m_page;
        m_y = 0;
        footer();
    }

    void footer() {
        if (!m_painter)
            return;
        m_painter->setFont(m_font);
        m_painter->setPen(Qt::darkGray);
        m_painter->drawText(QRectF(0, bottom() + 8, m_size.width(), m_size.height() - bottom()),
                            Qt::AlignRight | Qt::AlignTop,
                            QStringLiteral("Seite %1 von %2").arg(m_page).arg(m_total));
    }

    // Each column as wide as its widest text; when they are too wide together, the wide ones
    // give way and their texts are cut with "…".
    QList<double> columnWidths(const QAbstractItemModel& model, const QFontMetricsF& fm) const {
        QList<double> widths;
        double sum = 0;
        for (int c = 0; c < model.columnCount(); ++c) {
            double w = fm.horizontalAdvance(model.headerData(c, Qt::Horizontal).toString());
            for (int r = 0; r < model.rowCount(); ++r)
                w = std::max(w, fm.horizontalAdvance(model.index(r, c).data().toString()));
            widths << w + 2 * kCellPadding;
            sum += widths.last();
        }
        if (sum > m_size.width())
            for (double& w : widths)
                w *= m_size.width() / sum;
        return widths;
    }

    void titles(const QAbstractItemModel& model, const QList<double>& widths, double height,
                const QFont& bold) {
        if (m_painter) {
            double x = 0;
            m_painter->setFont(bold);
            for (int c = 0; c < widths.size(); ++c) {
                const QRectF cell(x, m_y, widths[c], height);
                m_painter->fillRect(cell, QColor(0xe8, 0xe8, 0xe8));
                m_painter->setPen(Qt::black);
                m_painter->drawText(cell.adjusted(kCellPadding, 0, -kCellPadding, 0),
                                    Qt::AlignLeft | Qt::AlignVCenter,
                                    model.headerData(c, Qt::Horizontal).toString());
                x += widths[c];
            }
        }
        m_y += height;
    }

    void cells(const QAbstractItemModel& model, int row, const QList<double>& widths,
               double height) {
        double x = 0;
        for (int c = 0; c < widths.size(); ++c) {
            const QModelIndex index = model.index(row, c);
            const QRectF cell(x, m_y, widths[c], height);
            x += widths[c];
            const QVariant ground = index.data(Qt::BackgroundRole);
            if (ground.isValid())
                m_painter->fillRect(cell, ground.value<QColor>());
            const QFont cellFont = font(9, index.data(Qt::FontRole).value<QFont>().bold());
            m_painter->setFont(cellFont);
            const QVariant colour = index.data(Qt::ForegroundRole);
            m_painter->setPen(colour.isValid() ? colour.value<QColor>() : QColor(Qt::black));
            const QRectF inner = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
            const QVariant align = index.data(Qt::TextAlignmentRole);
            m_painter->drawText(
                inner,
                align.isValid() ? Qt::Alignment(align.toInt()) : Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetricsF(cellFont, &m_writer)
                    .elidedText(index.data().toString(), Qt::ElideRight, inner.width()));
            m_painter->setPen(QColor(0xdd, 0xdd, 0xdd));
            m_painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        }
    }

    QPdfWriter& m_writer;
    QPainter* m_painter;
    QSizeF m_size;
    int m_total;
    QFont m_font;
    int m_page = 1;
    double m_y = 0;
};

int layOut(Pages& pages, const AlarmPdf& content) {
    pages.text(content.title, font(16, true), 2);
    pages.text(content.period, font(11));
    pages.text(content.summary, font(10));
    pages.text(content.problems, font(9, false, true));
    pages.chart(content.chart);
    if (content.alarms && content.alarms->rowCount() > 0)
        pages.table(QStringLiteral("Alarme"), *content.alarms);
    if (content.periods && content.periods->rowCount() > 0)
        pages.table(content.periodsTitle, *content.periods);
    return pages.count();
}

} // namespace

bool writeAlarmPdf(QIODevice& device, const AlarmPdf& content, QString& why) {
    // Qt's PDF engine does not tell a write that failed, a full disk's included. The PDF is
    // made in memory (a month of alarms is a few hundred kilobytes) and written in one go,
    // whose count tells.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(kResolution);
        writer.setTitle(content.title);
        writer.setCreator(QStringLiteral("TorvanelClient"));
        Pages counting(writer, nullptr, 0);
        const int total = layOut(counting, content);
        QPainter painter(&writer);
        Pages pages(writer, &painter, total);
        layOut(pages, content);
    }
    if (device.write(pdf.data()) != pdf.size()) {
        why = device.errorString();
        return false;
    }
    return true;
}

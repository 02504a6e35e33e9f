#include "RufNum/report/AlarmTableModel.h"

#include "RufNum/report/ReportTexts.h"

#include <QColor>
#include <QFont>
#include <utility>

namespace {

bool unanswered(const report::AlarmRow& row) {
    return row.standing && !row.acknowledgedAfterS;
}

} // namespace

AlarmTableModel::AlarmTableModel(QObject* parent)
    : RowTableModel({QStringLiteral("Nst."), QStringLiteral("Ausgelöst"),
                     QStringLiteral("Quittiert nach (s)"), QStringLiteral("Quittierungen"),
                     QStringLiteral("Beendet"), QStringLiteral("Dauer")},
                    parent) {}

void AlarmTableModel::setRows(QList<report::AlarmRow> rows, qint64 limitS) {
    m_limitS = limitS;
    RowTableModel::setRows(std::move(rows));
}

bool AlarmTableModel::late(const report::AlarmRow& row) const {
    return !row.acknowledgedAfterS || *row.acknowledgedAfterS > m_limitS;
}

QVariant AlarmTableModel::text(const report::AlarmRow& row, int column) const {
    switch (column) {
    case Nst:
        return row.nst;
    case Raised:
        return report_text::dateTime(row.raised);
    case AcknowledgedAfter:
        if (row.acknowledgedAfterS)
            return QString::number(*row.acknowledgedAfterS);
        return row.standing ? QStringLiteral("noch nicht") : QStringLiteral("nie");
    case Acknowledgements:
        return QString::number(row.acknowledgements);
    case Ended:
        if (row.ended)
            return report_text::dateTime(*row.ended);
        return row.standing ? QStringLiteral("steht noch") : QStringLiteral("nicht aufgezeichnet");
    case Duration:
        return row.ended ? report_text::duration(row.raised.secsTo(*row.ended)) : QString();
    }
    return {};
}

QVariant AlarmTableModel::data(const QModelIndex& index, int role) const {
    const report::AlarmRow* alarm = RowTableModel::row(index);
    if (!alarm)
        return {};
    const report::AlarmRow& row = *alarm;
    const bool lateCell = index.column() == AcknowledgedAfter && late(row);
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::ForegroundRole:
        if (unanswered(row))
            return QColor(Qt::red);
        return lateCell ? QVariant(QColor(0x99, 0, 0)) : QVariant();
    case Qt::BackgroundRole:
        return unanswered(row) ? QVariant(QColor(0xff, 0xe0, 0xe0)) : QVariant();
    case Qt::FontRole:
        if (unanswered(row)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        if (unanswered(row))
            return QStringLiteral("Der Alarm steht noch und wurde nicht quittiert.");
        if (lateCell)
            return row.acknowledgedAfterS
                       ? QStringLiteral("Später quittiert als nach %1 s.").arg(m_limitS)
                       : QStringLiteral("Nie quittiert.");
        if (index.column() == Ended && !row.ended && !row.standing)
            return QStringLiteral("Der Client lief nicht mehr, als der Alarm endete.");
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == AcknowledgedAfter || index.column() == Acknowledgements
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    }
    return {};
}

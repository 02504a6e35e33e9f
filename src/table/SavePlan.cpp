#include "SavePlan.h"

#include "NummernModel.h"
#include "TableRecord.h"
#include "link/Wire1252.h"

#include <QStringList>

namespace table {

SavePlan planSave(const QList<Cells>& rows, const RowNumbers& rowNst) {
    SavePlan plan;
    plan.duplicate = FindDuplicateNst(rows);
    // A grid never holds more rows than the table may; a row beyond them has no old number.
    const int known = int(qMin(rows.size(), qsizetype(rowNst.size())));
    for (int i = 0; i < known; ++i) {
        const QByteArray number = trimmed(rows[i][Number]);
        const QByteArray old = trimmed(rowNst[i]);
        if (number != old && !chargesAreZero(rows[i][Charges]))
            plan.clearings.append({i, old, number});
    }
    plan.body = saveBody(rows);
    return plan;
}

QString changePreview(const QList<Cells>& rows, const QList<QByteArray>& lines) {
    // A box with 120 lines would push its buttons off the screen; the first rows tell the
    // operator whether this is the edit he meant.
    constexpr int kShownRows = 30;
    const auto shown = [](const QByteArray& text) {
        return text.isEmpty() ? QStringLiteral("(leer)") : wire::fromWire(text);
    };
    QStringList out;
    int more = 0;
    for (int i = 0; i < rows.size(); ++i) {
        QStringList cells;
        // The charges are not sent; the server's own amount is no change of the operator's.
        for (Field f : {Number, Alarm, Emergency, Remark}) {
            const QByteArray old = trimmed(field(lines.value(i), f));
            const QByteArray now = trimmed(rows[i][f]);
            if (old != now)
                cells << NummernModel::columnTitle(f) + u' ' + shown(old) + QStringLiteral(" → ") +
                             shown(now);
        }
        if (cells.isEmpty())
            continue;
        if (out.size() < kShownRows)
            out << NummernModel::rowLabel(i) + QStringLiteral(": ") +
                       cells.join(QStringLiteral("; "));
        else
            ++more;
    }
    if (more)
        out << QStringLiteral("… und %1 weitere %2")
                   .arg(more)
                   .arg(more == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
    return out.join(u'\n');
}

} // namespace table

#include "SavePlan.h"

#include "TableRecord.h"

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

} // namespace table

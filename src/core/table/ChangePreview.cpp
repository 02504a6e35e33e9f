#include "core/table/ChangePreview.h"

#include "core/table/NummernModel.h"
#include "wire/Wire1252.h"

#include <QStringList>

namespace table {

QString changePreview(const QList<RowChanges>& rows) {
    // A box with 120 lines would push its buttons off the screen; the first rows tell the
    // operator whether this is the edit he meant.
    constexpr int kShownRows = 30;
    const auto shown = [](const QByteArray& text) {
        return text.isEmpty() ? QStringLiteral("(leer)") : wire::fromWire(text);
    };
    QStringList out;
    int more = 0;
    for (const RowChanges& row : rows) {
        QStringList cells;
        for (const CellChange& c : row.cells) {
            const QByteArray base = trimmed(c.base);
            const QByteArray text = trimmed(c.text);
            const std::optional<QByteArray> newest =
                c.newest ? std::optional(trimmed(*c.newest)) : std::nullopt;
            if (base == text && (!newest || newest == text))
                continue;
            QString change = NummernModel::columnTitle(c.field) + u' ' + shown(base) +
                             QStringLiteral(" → ") + shown(text);
            if (newest && newest != base)
                change += QStringLiteral(" (Server jetzt: ") + shown(*newest) + u')';
            cells << change;
        }
        if (cells.isEmpty())
            continue;
        if (out.size() >= kShownRows) {
            ++more;
            continue;
        }
        out << row.label +
                   (row.lineGone ? QStringLiteral(" (nicht mehr in der Tabelle des Servers)")
                                 : QString()) +
                   QStringLiteral(": ") + cells.join(QStringLiteral("; "));
    }
    if (more)
        out << QStringLiteral("… und %1 weitere %2")
                   .arg(more)
                   .arg(more == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
    return out.join(u'\n');
}

} // namespace table

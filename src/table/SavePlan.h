#pragma once

#include "TableLines.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

// What a save of the grid would do, worked out before anything is asked or sent, so that
// the questions follow it step by step (and a preview could show it whole).
namespace table {

// Per row, its number as last loaded or as last cleared of charges, trimmed.
using RowNumbers = std::array<QByteArray, kMaxLines>;

// A row whose number changed while it still carries charges: the operator is asked whether
// the charges booked on the old number are to be cleared.
struct ChargeClearing {
    int row;
    QByteArray old;    // trimmed, as the server knows the line
    QByteArray number; // trimmed, as the operator left it
};

struct SavePlan {
    // The key of a number that occurs twice; while it is set nothing may be sent.
    QByteArray duplicate;
    QList<ChargeClearing> clearings;
    // The body of the "[___SDAT]" frame: every row, in grid order.
    QByteArray body;
};

SavePlan planSave(const QList<Cells>& rows, const RowNumbers& rowNst);

// What the operator changed, for the save question to show: a line for each row whose cells
// differ from the lines as last loaded, "Verb. 3: Ruf/Zi.-Nummer 4711 → 4811; Bemerk. ...".
// Fields are padded to their width, so blanks at either end are no change. Empty when nothing
// visible changed; after 30 rows, a line counts the rest.
QString changePreview(const QList<Cells>& rows, const QList<QByteArray>& lines);

} // namespace table

#pragma once

#include "wire/TableLines.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What the operator changed, for the details of the save question.
namespace table {

struct CellChange {
    Field field;
    QByteArray base;                  // the server's text the operator replaced
    std::optional<QByteArray> newest; // the server's text now; none when its line is gone
    QByteArray text;                  // the operator's
};

struct RowChanges {
    QString label; // "Verb. 3"
    bool lineGone = false;
    QList<CellChange> cells;
};

// A line per row, "Verb. 3: Ruf/Zi.-Nummer 4711 → 4811; Bemerk. ...". Fields are compared
// trimmed, so blanks at either end are no change; a cell the server changed since the edit
// says what it holds now, a line the server's table no longer has says so. Empty when nothing
// visible changed; after 30 rows, a line counts the rest.
QString changePreview(const QList<RowChanges>& rows);

} // namespace table

#pragma once

#include "wire/TableLines.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Re-sorting the table by a column. Keys are compared as the server's operators expect from
// their old lists: plain byte order, with only the ASCII letters folded, and rows without a
// key at the end.
namespace table {

// The cell trimmed; an empty key reads "ZZZ" so that such rows go last.
QByteArray sortKey(QByteArrayView cell);

// Negative, zero or positive as key a sorts before, with or after key b: a-z read as A-Z,
// every other byte by its code 0-255, a prefix before the longer key.
int compareKeys(const QByteArray& a, const QByteArray& b);

// Row orders by the key of the number and of the remark.
int CompareByNumber(const Cells& a, const Cells& b);
int CompareByRemark(const Cells& a, const Cells& b);

using RowOrder = int (*)(const Cells&, const Cells&);
// The positions of `rows` in ascending order; rows with equal keys keep their order, so a
// second click on a title changes nothing.
QList<int> sortedOrder(const QList<Cells>& rows, RowOrder order);

} // namespace table

#pragma once

#include "TableLines.h"

#include <QByteArray>
#include <QList>

// Re-sorting the received lines by a column. Keys are compared as the server's operators
// expect from their old lists: plain byte order, with only the ASCII letters folded, and
// lines without a key at the end.
namespace table {

// The line's field trimmed; an empty key reads "ZZZ" so that such lines go last.
QByteArray sortKey(const QByteArray& line, Field f);

// Negative, zero or positive as key a sorts before, with or after key b: a-z read as A-Z,
// every other byte by its code 0-255, a prefix before the longer key.
int compareKeys(const QByteArray& a, const QByteArray& b);

// Line orders by the key of the number and of the remark field.
int CompareByNumber(const QByteArray& a, const QByteArray& b);
int CompareByRemark(const QByteArray& a, const QByteArray& b);

using LineOrder = int (*)(const QByteArray&, const QByteArray&);
// Sorts in place, ascending; the order among lines with equal keys is not kept.
void sortLines(QList<QByteArray>& lines, LineOrder order);

} // namespace table

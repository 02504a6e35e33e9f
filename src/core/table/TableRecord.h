#pragma once

#include "wire/TableLines.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// What a save sends back and checks before it does: the 100-character row record (number,
// alarm, emergency, remark; the charges stay with the server) and the duplicate check on the
// call or room numbers.
namespace table {

// The number as the server matches it: trimmed, without a leading "!", and only up to the
// first blank, so "!4711" and "4711 Empfang" both are 4711.
QByteArray NstKey(QByteArrayView number);

// The key of the topmost row that has a later twin; empty when every key is unique. Rows
// without a key never count as twins.
QByteArray FindDuplicateNst(const QList<Cells>& rows);

// Number 1-20, alarm 21-40, emergency 41-60, remark 61-100; each cell untrimmed, padded
// with blanks and cut to its width.
QByteArray TableRecord(const Cells& row);

// For every row: its index from 0, LF CR, its record, LF CR.
QByteArray saveBody(const QList<Cells>& rows);

// Charges the server shows as zero need no clearing; anything else, a blank cell included,
// counts as charges.
bool chargesAreZero(QByteArrayView charges);

} // namespace table

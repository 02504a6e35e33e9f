#pragma once

#include "wire/TableLines.h"

#include <QByteArray>
#include <QByteArrayView>

// One row of the table as the client receives it: fixed columns of Windows-1252 bytes.
//   number 1-20, alarm 21-40, emergency 41-60, charges 61-66, remark 67-106
// The client sends a row back as a 100-byte record without the charges:
//   number 1-20, alarm 21-40, emergency 41-60, remark 61-100
// Charges belong to the server; a save never touches them.
namespace tableline {

// The layout is the client's own, so the two can never drift apart.
inline constexpr qsizetype kChargesAt = table::kLineFields[table::Charges].offset;
inline constexpr qsizetype kChargesWidth = table::kLineFields[table::Charges].width;
inline constexpr qsizetype kRemarkAt = table::kLineFields[table::Remark].offset;
inline constexpr qsizetype kLineWidth = table::kLineLength;
inline constexpr qsizetype kNumberWidth = table::kLineFields[table::Number].width;
inline constexpr qsizetype kRecordWidth = table::kRecordLength;
inline constexpr qsizetype kRecordRemarkAt = table::kRecordFields[table::Remark].offset;

using table::trimmed;

// The field at [at, at + width), cut as far as the line reaches.
QByteArrayView field(QByteArrayView line, qsizetype at, qsizetype width);

inline QByteArrayView number(QByteArrayView line) {
    return field(line, 0, kNumberWidth);
}
inline QByteArrayView charges(QByteArrayView line) {
    return field(line, kChargesAt, kChargesWidth);
}

// A full-width line from a saved record and the charges the row held before.
QByteArray fromRecord(QByteArrayView record, QByteArrayView charges);

// The line with its charges replaced, padded to full width so the remark keeps its place.
QByteArray withCharges(QByteArrayView line, QByteArrayView amount);

} // namespace tableline

#pragma once

#include <QByteArray>
#include <QByteArrayView>

// One row of the table as the client receives it: fixed columns of Windows-1252 bytes.
//   number 1-20, alarm 21-40, emergency 41-60, charges 61-66, remark 67-106
// The client sends a row back as a 100-byte record without the charges:
//   number 1-20, alarm 21-40, emergency 41-60, remark 61-100
// Charges belong to the server; a save never touches them.
namespace tableline {

inline constexpr qsizetype kChargesAt = 60;
inline constexpr qsizetype kChargesWidth = 6;
inline constexpr qsizetype kRemarkAt = 66;
inline constexpr qsizetype kLineWidth = 106;
inline constexpr qsizetype kNumberWidth = 20;
inline constexpr qsizetype kRecordWidth = 100;
inline constexpr qsizetype kRecordRemarkAt = 60;

// Without leading and trailing bytes of code 0 to 32, as the client trims.
QByteArrayView trimmed(QByteArrayView text);

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

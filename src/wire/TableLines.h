#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>

// A table line as the server sends it: fixed columns of single-byte text. Positions are
// 1-based in the server's documentation; here they are offsets and widths.
namespace table {

enum Field { Number, Alarm, Emergency, Charges, Remark, FieldCount };

// The five fields of one row, each as single-byte text.
using Cells = std::array<QByteArray, FieldCount>;

struct FieldSpan {
    qsizetype offset;
    qsizetype width;
};
inline constexpr FieldSpan kLineFields[FieldCount] = {
    {0, 20}, {20, 20}, {40, 20}, {60, 6}, {66, 40}};

inline constexpr qsizetype kLineLength = 106;
inline constexpr int kMaxLines = 120;

// A row as a save sends it back: the same fields without the charges, the remark moved up.
inline constexpr FieldSpan kRecordFields[FieldCount] = {
    {0, 20}, {20, 20}, {40, 20}, {60, 0}, {60, 40}};
inline constexpr qsizetype kRecordLength = 100;

// The field as cut out of the line, blanks kept; short lines give short or empty fields.
QByteArray field(const QByteArray& line, Field f);

// Removes leading and trailing characters of codes 0 to 32.
QByteArray trimmed(QByteArrayView text);

// The lines of a "[___D_IN]" frame, at most 120; an empty line becomes two blanks. Follows the
// server's line-end convention (LF then CR before each line); a body that breaks it still
// ends after 120 passes.
QList<QByteArray> parseTableFrame(const QByteArray& frame);

} // namespace table

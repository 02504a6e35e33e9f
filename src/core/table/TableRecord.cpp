#include "core/table/TableRecord.h"

#include "wire/Frames.h"

namespace table {
namespace {

void appendPadded(QByteArray& out, const QByteArray& text, qsizetype width) {
    const QByteArray cut = text.left(width);
    out.append(cut);
    out.append(width - cut.size(), ' ');
}

} // namespace

QByteArray NstKey(QByteArrayView number) {
    QByteArray key = trimmed(number);
    if (key.startsWith('!'))
        key.remove(0, 1);
    const qsizetype blank = key.indexOf(' ');
    if (blank >= 0)
        key = trimmed(QByteArrayView(key).first(blank));
    return key;
}

QByteArray FindDuplicateNst(const QList<Cells>& rows) {
    QList<QByteArray> keys;
    keys.reserve(rows.size());
    for (const Cells& row : rows)
        keys.append(NstKey(row[Number]));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (keys[i].isEmpty())
            continue;
        for (qsizetype j = i + 1; j < keys.size(); ++j)
            if (keys[j] == keys[i])
                return keys[i];
    }
    return {};
}

QByteArray TableRecord(const Cells& row) {
    QByteArray record;
    record.reserve(kRecordLength);
    for (Field f : {Number, Alarm, Emergency, Remark})
        appendPadded(record, row[f], kRecordFields[f].width);
    return record;
}

QByteArray saveBody(const QList<Cells>& rows) {
    QByteArray body;
    body.reserve(rows.size() * (kRecordLength + 8));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        body.append(frames::line(QByteArray::number(i)));
        body.append(frames::line(TableRecord(rows[i])));
    }
    return body;
}

bool chargesAreZero(QByteArrayView charges) {
    const QByteArray c = trimmed(charges);
    return c == "0.00" || c == "0,00";
}

} // namespace table

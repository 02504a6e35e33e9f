#include "TableLine.h"

namespace tableline {
namespace {

void appendPadded(QByteArray& out, QByteArrayView text, qsizetype width) {
    const QByteArrayView cut = text.first(qMin(text.size(), width));
    out.append(cut);
    out.append(width - cut.size(), ' ');
}

} // namespace

QByteArrayView field(QByteArrayView line, qsizetype at, qsizetype width) {
    if (at >= line.size())
        return {};
    return line.sliced(at, qMin(width, line.size() - at));
}

QByteArray fromRecord(QByteArrayView record, QByteArrayView charges) {
    QByteArray out;
    out.reserve(kLineWidth);
    appendPadded(out, field(record, 0, kRecordRemarkAt), kChargesAt);
    appendPadded(out, charges, kChargesWidth);
    appendPadded(out, field(record, kRecordRemarkAt, kRecordWidth - kRecordRemarkAt),
                 kLineWidth - kRemarkAt);
    return out;
}

QByteArray withCharges(QByteArrayView line, QByteArrayView amount) {
    QByteArray out;
    out.reserve(kLineWidth);
    appendPadded(out, field(line, 0, kChargesAt), kChargesAt);
    appendPadded(out, amount, kChargesWidth);
    appendPadded(out, field(line, kRemarkAt, kLineWidth - kRemarkAt), kLineWidth - kRemarkAt);
    return out;
}

} // namespace tableline

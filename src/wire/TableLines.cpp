#include "wire/TableLines.h"

#include "wire/Frames.h"

namespace table {

QByteArray field(const QByteArray& line, Field f) {
    const FieldSpan span = kLineFields[f];
    return line.mid(span.offset, span.width);
}

QByteArray trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

QList<QByteArray> parseTableFrame(const QByteArray& frame) {
    static const QByteArray closing = QByteArray(frames::kLineEnd.data()) + frames::kEnd.data();
    QByteArrayView rest = QByteArrayView(frame).sliced(qMin(frame.size(), frames::kTagLength));
    QList<QByteArray> lines;
    for (int pass = 0; pass < kMaxLines; ++pass) {
        if (rest.startsWith(closing))
            break;
        if (rest.startsWith(frames::kLineEnd))
            rest = rest.sliced(frames::kLineEnd.size());
        const qsizetype lf = rest.indexOf('\n');
        if (lf > 0) {
            lines.append(rest.first(lf).toByteArray());
            rest = rest.sliced(lf);
        } else {
            lines.append("  ");
        }
    }
    return lines;
}

} // namespace table

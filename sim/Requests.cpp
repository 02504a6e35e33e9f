#include "Requests.h"

#include "SimLog.h"
#include "TableLine.h"
#include "wire/Frames.h"

namespace requests {
namespace {

bool isIndex(QByteArrayView text, qsizetype expected) {
    if (text.isEmpty() || text.size() > 9 || (text.size() > 1 && text.front() == '0'))
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return text.toLongLong() == expected;
}

// The body between the tag line and the end marker, or nothing when the frame lacks either.
std::optional<QByteArrayView> bodyOf(QByteArrayView frame) {
    const qsizetype head = frames::kTagLength + frames::kLineEnd.size();
    if (frame.size() < head + frames::kEnd.size() ||
        frame.sliced(frames::kTagLength, frames::kLineEnd.size()) != frames::kLineEnd ||
        !frame.endsWith(frames::kEnd))
        return std::nullopt;
    return frame.sliced(head, frame.size() - head - frames::kEnd.size());
}

// The lines of a body, each of which must end with LF CR; nothing when one does not.
std::optional<QList<QByteArrayView>> linesOf(QByteArrayView body) {
    QList<QByteArrayView> lines;
    while (!body.isEmpty()) {
        const qsizetype end = body.indexOf(frames::kLineEnd);
        if (end < 0)
            return std::nullopt;
        lines.append(body.first(end));
        body = body.sliced(end + frames::kLineEnd.size());
    }
    return lines;
}

} // namespace

std::optional<QList<QByteArray>> parseSave(QByteArrayView frame, QString* why) {
    const auto body = bodyOf(frame);
    if (!body) {
        *why = QStringLiteral("no line end after the tag");
        return std::nullopt;
    }
    const auto lines = linesOf(*body);
    if (!lines) {
        *why = QStringLiteral("body does not end with a line end");
        return std::nullopt;
    }
    if (lines->size() % 2 != 0) {
        *why = QStringLiteral("odd number of lines (%1): every row needs an index and a record")
                   .arg(lines->size());
        return std::nullopt;
    }
    QList<QByteArray> records;
    records.reserve(lines->size() / 2);
    for (qsizetype i = 0; i < lines->size(); i += 2) {
        const qsizetype row = i / 2;
        const QByteArrayView index = lines->at(i);
        const QByteArrayView record = lines->at(i + 1);
        if (!isIndex(index, row)) {
            *why = QStringLiteral("row %1: index \"%2\" where %1 belongs")
                       .arg(row)
                       .arg(printable(index.first(qMin<qsizetype>(index.size(), 20))));
            return std::nullopt;
        }
        if (record.size() != tableline::kRecordWidth) {
            *why = QStringLiteral("row %1: record of %2 bytes, not %3")
                       .arg(row)
                       .arg(record.size())
                       .arg(tableline::kRecordWidth);
            return std::nullopt;
        }
        // A line break inside a record would tear the table file and the client's parse.
        if (record.contains('\n') || record.contains('\r')) {
            *why = QStringLiteral("row %1: line break inside the record").arg(row);
            return std::nullopt;
        }
        records.append(record.toByteArray());
    }
    return records;
}

std::optional<QByteArray> parseClearCharges(QByteArrayView frame, QString* why) {
    const auto body = bodyOf(frame);
    const auto lines = body ? linesOf(*body) : std::nullopt;
    if (!lines || lines->size() != 1) {
        *why = QStringLiteral("body is not exactly one line");
        return std::nullopt;
    }
    const QByteArray number = tableline::trimmed(lines->front());
    // An empty number names no extension; matching it would clear every unnamed row.
    if (number.isEmpty()) {
        *why = QStringLiteral("empty number");
        return std::nullopt;
    }
    return number;
}

} // namespace requests

#pragma once

#include "wire/Frames.h"

#include <QByteArray>
#include <QList>

// Lines, records and frames written out by hand, so that tests state the bytes they expect.
namespace fixtures {

inline QByteArray pad(const QByteArray& text, int width) {
    return text.leftJustified(width, ' ', true);
}

// A table line as the server sends it: number, alarm, emergency, charges, remark.
inline QByteArray tableLine(const QByteArray& number, const QByteArray& alarm = {},
                            const QByteArray& emergency = {}, const QByteArray& charges = {},
                            const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(charges, 6) + remark;
}

// A row as a save sends it back.
inline QByteArray record(const QByteArray& number, const QByteArray& alarm = {},
                         const QByteArray& emergency = {}, const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(remark, 40);
}

inline QByteArray tableFrame(const QList<QByteArray>& lines) {
    QByteArray f = "[___D_IN]\n\r";
    for (const QByteArray& l : lines)
        f += l + "\n\r";
    return f + "{_ENDE__}";
}

inline QByteArray sdat(const QList<QByteArray>& records) {
    QByteArray f = "[___SDAT]\n\r";
    for (int i = 0; i < records.size(); ++i)
        f += QByteArray::number(i) + "\n\r" + records[i] + "\n\r";
    return f + "{_ENDE__}";
}

inline QByteArray gloe(const QByteArray& number) {
    return "[___GLOE]\n\r" + number + "\n\r{_ENDE__}";
}

// A heartbeat answer; `body` is everything between the tag and the end marker.
inline QByteArray answer(const QByteArray& body, const QByteArray& tag = "[___TEST]") {
    return tag + body + "{_ENDE__}";
}

} // namespace fixtures

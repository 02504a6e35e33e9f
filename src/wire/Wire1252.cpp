#include "wire/Wire1252.h"

#include <QList>
#include <QStringView>
#include <algorithm>
#include <iterator>

namespace wire {
namespace {

// 0x80..0x9F of Windows-1252. The five holes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the
// C1 control of the same value, so every byte decodes and encodes back to itself.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteFor(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    const auto* at = std::find(std::begin(kHigh), std::end(kHigh), cp);
    return at != std::end(kHigh) ? 0x80 + int(at - std::begin(kHigh)) : -1;
}

} // namespace

bool fitsWire(char32_t codePoint) {
    return byteFor(codePoint) >= 0;
}

QByteArray toWire(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (char32_t cp : QStringView(text).toUcs4()) {
        const int b = byteFor(cp);
        out.append(b >= 0 ? char(b) : '?');
    }
    return out;
}

QString fromWire(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b)));
    }
    return out;
}

} // namespace wire

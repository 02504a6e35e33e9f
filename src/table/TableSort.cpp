#include "TableSort.h"

#include <algorithm>

namespace table {
namespace {

unsigned char folded(char c) {
    const auto b = static_cast<unsigned char>(c);
    // Only ASCII: an 'ä' must not turn into an 'Ä' and jump across the alphabet.
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - ('a' - 'A')) : b;
}

} // namespace

QByteArray sortKey(const QByteArray& line, Field f) {
    QByteArray key = trimmed(field(line, f));
    return key.isEmpty() ? QByteArrayLiteral("ZZZ") : key;
}

int compareKeys(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = int(folded(a[i])) - int(folded(b[i]));
        if (d != 0)
            return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareByNumber(const QByteArray& a, const QByteArray& b) {
    return compareKeys(sortKey(a, Number), sortKey(b, Number));
}

int CompareByRemark(const QByteArray& a, const QByteArray& b) {
    return compareKeys(sortKey(a, Remark), sortKey(b, Remark));
}

void sortLines(QList<QByteArray>& lines, LineOrder order) {
    std::sort(lines.begin(), lines.end(),
              [order](const QByteArray& a, const QByteArray& b) { return order(a, b) < 0; });
}

} // namespace table

#include "core/table/TableSort.h"

#include <algorithm>
#include <numeric>

namespace table {
namespace {

unsigned char folded(char c) {
    const auto b = static_cast<unsigned char>(c);
    // Only ASCII: an 'ä' must not turn into an 'Ä' and jump across the alphabet.
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - ('a' - 'A')) : b;
}

} // namespace

QByteArray sortKey(QByteArrayView cell) {
    QByteArray key = trimmed(cell);
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

int CompareByNumber(const Cells& a, const Cells& b) {
    return compareKeys(sortKey(a[Number]), sortKey(b[Number]));
}

int CompareByRemark(const Cells& a, const Cells& b) {
    return compareKeys(sortKey(a[Remark]), sortKey(b[Remark]));
}

QList<int> sortedOrder(const QList<Cells>& rows, RowOrder order) {
    QList<int> positions(rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(positions.begin(), positions.end(),
                     [&](int a, int b) { return order(rows[a], rows[b]) < 0; });
    return positions;
}

} // namespace table

#include "wire/FrameReader.h"

#include "wire/Frames.h"

namespace {

// How many bytes at the end of text[from..] could be the first bytes of a "[___" that the
// next read completes.
qsizetype startCutOff(QByteArrayView text, qsizetype from) {
    for (qsizetype n = qMin(frames::kStart.size() - 1, text.size() - from); n > 0; --n) {
        if (frames::kStart.startsWith(text.last(n)))
            return n;
    }
    return 0;
}

} // namespace

QList<QByteArray> FrameReader::feed(const QByteArray& chunk) {
    if (chunk.startsWith(frames::kStart))
        clear();
    m_pending.append(chunk);

    QList<QByteArray> complete;
    qsizetype from = 0;
    for (;;) {
        if (!QByteArrayView(m_pending).sliced(from).startsWith(frames::kStart)) {
            const qsizetype start = m_pending.indexOf(frames::kStart, from);
            if (start == -1) {
                from = m_pending.size() - startCutOff(m_pending, from);
                m_searched = 0;
                break;
            }
            from = start;
            m_searched = 0;
        }
        // Resume the search just before the old end, in case the marker was split; the end
        // marker cannot begin inside the start marker.
        const qsizetype skip = qMax(frames::kStart.size(), m_searched - (frames::kEnd.size() - 1));
        const qsizetype at = m_pending.indexOf(frames::kEnd, from + skip);
        if (at == -1) {
            m_searched = m_pending.size() - from;
            break;
        }
        const qsizetype end = at + frames::kEnd.size();
        complete.append(m_pending.mid(from, end - from));
        from = end;
        m_searched = 0;
    }
    if (from > 0)
        m_pending.remove(0, from);

    if (m_pending.size() > kMaxPending)
        clear();
    return complete;
}

void FrameReader::clear() {
    m_pending.clear();
    m_searched = 0;
}

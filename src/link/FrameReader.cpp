#include "FrameReader.h"

#include "Frames.h"

QList<QByteArray> FrameReader::feed(const QByteArray& chunk) {
    if (chunk.startsWith(frames::kStart))
        clear();
    m_pending.append(chunk);

    QList<QByteArray> complete;
    qsizetype from = 0;
    for (;;) {
        // Resume the search just before the old end, in case the marker was split.
        const qsizetype start = qMax(from, from + m_searched - (frames::kEnd.size() - 1));
        const qsizetype at = m_pending.indexOf(frames::kEnd, start);
        if (at < 0)
            break;
        const qsizetype end = at + frames::kEnd.size();
        complete.append(m_pending.mid(from, end - from));
        from = end;
        m_searched = 0;
    }
    if (from > 0)
        m_pending.remove(0, from);
    m_searched = m_pending.size();

    if (m_pending.size() > kMaxPending)
        clear();
    return complete;
}

void FrameReader::clear() {
    m_pending.clear();
    m_searched = 0;
}

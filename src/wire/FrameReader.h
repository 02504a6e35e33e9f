#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream of one connection into frames.
//
// TCP hands us a stream, not the peer's writes: one read may hold two frames, or a frame and
// the start of the next, or a piece of a frame cut anywhere (inside either marker too).
// Every complete frame is returned, in arrival order: a frame runs from "[___" up to and
// including the next end marker. Text between frames (a stray line end after an end marker,
// say) belongs to no frame and is passed over up to the next "[___".
//
// A read that begins with "[___" while a frame is still incomplete drops the pending text:
// the peer has started over, and the torn frame would otherwise swallow the new one.
// Pending text never grows beyond kMaxPending; a larger incomplete frame is dropped.
//
// A reader serves one connection: whoever opens the next one clears it first.
class FrameReader {
public:
    static constexpr qsizetype kMaxPending = 1 << 20;

    QList<QByteArray> feed(const QByteArray& chunk);

    // A frame begun and not yet ended, or the first bytes of a "[___" cut off by the read.
    const QByteArray& pending() const { return m_pending; }
    void clear();

private:
    QByteArray m_pending;
    qsizetype m_searched = 0; // bytes of the pending frame already known to hold no end marker
};

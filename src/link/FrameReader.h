#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream of one connection into frames.
//
// TCP hands us a stream, not the peer's writes: one read may hold two frames, or a frame and
// the start of the next, or a piece of a frame cut anywhere (inside the end marker too).
// Every complete frame is returned, in arrival order: the text from a frame's start up to and
// including the next end marker is one frame; what follows it starts the next one.
//
// A read that begins with "[___" while a frame is still incomplete drops the pending text:
// the peer has started over, and the torn frame would otherwise swallow the new one.
// Pending text never grows beyond kMaxPending; a larger incomplete frame is dropped.
class FrameReader {
public:
    static constexpr qsizetype kMaxPending = 1 << 20;

    QList<QByteArray> feed(const QByteArray& chunk);

    const QByteArray& pending() const { return m_pending; }
    void clear();

private:
    QByteArray m_pending;
    qsizetype m_searched = 0; // bytes of m_pending already known to hold no end marker
};

#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// What a heartbeat answer ("[___TEST]" or "[___test]") does to the client. The body is read
// in up to twenty passes that look at the front of the text; a pass that meets neither a line
// end, "BUSY," nor the end marker takes the text before the first LF as the pending alarm.
// This is how the server's answers have always been read, and the server relies on it
// (an empty line withdraws an alarm, a body without lines leaves it standing).
struct HeartbeatAnswer {
    bool alarmOff = false;              // lower-case tag: the server's alarm is switched off
    QList<QByteArray> busyWrites;       // each busy list to store, in order
    std::optional<QByteArray> alarmNst; // the new pending alarm, if the body set one
};

HeartbeatAnswer readHeartbeat(const QByteArray& frame);

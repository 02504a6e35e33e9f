#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Frames as they travel in both directions: "[___NAME]", LF CR, body lines each ended by
// LF CR, then "{_ENDE__}". The line end of this protocol is LF followed by CR.
namespace frames {

inline constexpr QByteArrayView kLineEnd{"\n\r"};
inline constexpr QByteArrayView kEnd{"{_ENDE__}"};
inline constexpr QByteArrayView kStart{"[___"};
inline constexpr qsizetype kTagLength = 9;

inline constexpr QByteArrayView kTableRequest{"[___GDAT]"};
inline constexpr QByteArrayView kTable{"[___D_IN]"};
inline constexpr QByteArrayView kHeartbeat{"[___TEST]"};
inline constexpr QByteArrayView kHeartbeatAlarmOff{"[___test]"};
inline constexpr QByteArrayView kClearCharges{"[___GLOE]"};
inline constexpr QByteArrayView kSaveTable{"[___SDAT]"};

// Tag, LF CR, the body as given (its lines already end in LF CR), end marker.
QByteArray compose(QByteArrayView tag, QByteArrayView body = {});
// A body of one line: the text followed by LF CR.
QByteArray line(QByteArrayView text);

inline QByteArray tableRequest() {
    return compose(kTableRequest);
}
inline QByteArray heartbeat() {
    return compose(kHeartbeat);
}
// The number is sent as given; callers pass it trimmed.
inline QByteArray clearCharges(QByteArrayView nst) {
    return compose(kClearCharges, line(nst));
}

// The first nine characters of a frame; shorter text yields what there is.
inline QByteArrayView tagOf(QByteArrayView frame) {
    return frame.first(qMin(frame.size(), kTagLength));
}

} // namespace frames

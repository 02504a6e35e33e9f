#include "Heartbeat.h"

#include "wire/Frames.h"

namespace {

QByteArray body(const SimState& state) {
    if (!state.alarm.isEmpty())
        return frames::line(state.alarm);
    if (state.busy) {
        // Each number is followed by a comma: the client's list ends at the comma before the
        // end marker, so the last number needs one too.
        QByteArray list("BUSY,");
        for (const QByteArray& nst : *state.busy)
            list.append(nst).append(',');
        return list;
    }
    if (state.alarmWithdrawn)
        return frames::line({});
    return {};
}

} // namespace

QByteArray heartbeatAnswer(const SimState& state) {
    return frames::compose(state.alarmOff ? frames::kHeartbeatAlarmOff : frames::kHeartbeat,
                           body(state));
}

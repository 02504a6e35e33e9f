#include "core/link/Heartbeat.h"

#include "wire/Frames.h"

namespace {
constexpr int kMaxPasses = 20;
constexpr QByteArrayView kBusy{"BUSY,"};
constexpr QByteArrayView kBusyEnd{",{"};
} // namespace

HeartbeatAnswer readHeartbeat(const QByteArray& frame) {
    HeartbeatAnswer answer;
    answer.alarmOff = frames::tagOf(frame) == frames::kHeartbeatAlarmOff;
    QByteArrayView rest = QByteArrayView(frame).sliced(qMin(frame.size(), frames::kTagLength));
    for (int k = 0; k < kMaxPasses; ++k) {
        if (rest.startsWith(frames::kLineEnd))
            rest = rest.sliced(frames::kLineEnd.size());
        if (rest.startsWith(kBusy)) {
            rest = rest.sliced(kBusy.size());
            const qsizetype p = rest.indexOf(kBusyEnd);
            answer.busyWrites.append(p > 0 ? rest.first(p).toByteArray() : QByteArray());
            continue;
        }
        if (rest.startsWith(frames::kEnd)) {
            if (k == 1)
                answer.alarmNst = QByteArray();
            break;
        }
        const qsizetype lf = rest.indexOf('\n');
        answer.alarmNst = lf > 0 ? rest.first(lf).toByteArray() : QByteArray();
    }
    return answer;
}

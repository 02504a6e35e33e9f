#include "RufNum/RufNum.h"

#include "link/Frames.h"
#include "link/Heartbeat.h"
#include "link/Wire1252.h"
#include "platform/UserStore.h"

#include <QLabel>
#include <limits>

// The only entry of server data. Every complete frame is acted on in arrival order; frames
// with other tags change nothing.

void TNummernForm::ClientZuServerRead() {
    const QList<QByteArray> complete = ReceiveBuffer.feed(ClientZuServer.readAll());
    for (const QByteArray& frame : complete)
        dispatchFrame(frame);
}

void TNummernForm::dispatchFrame(const QByteArray& frame) {
    const QByteArrayView tag = frames::tagOf(frame);
    if (tag == frames::kTable) {
        Timer2.stop();
        LoadTable(frame);
        WatchCount = 1;
    } else if (tag == frames::kHeartbeat || tag == frames::kHeartbeatAlarmOff) {
        const HeartbeatAnswer answer = readHeartbeat(frame);
        setCaption(Label1, answer.alarmOff ? QStringLiteral(" ALARM = AUS !") : QString());
        for (const QByteArray& busy : answer.busyWrites) {
            // Losing the busy list must not cost the heartbeat: a failed write is dropped.
            m_services.store.writeString(QStringLiteral("Belegt"), QStringLiteral("Belegt="),
                                         wire::fromWire(busy));
        }
        if (answer.alarmNst)
            AlarmNst = *answer.alarmNst;
        // A credit that can never overflow: a chatty server must not turn it negative.
        if (WatchCount < std::numeric_limits<qint32>::max())
            ++WatchCount;
    }
}

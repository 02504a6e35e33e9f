#include "Watch.h"

#include "link/Frames.h"
#include "link/Heartbeat.h"
#include "link/ServerLink.h"
#include "link/Wire1252.h"
#include "platform/Beeper.h"
#include "platform/Prompts.h"
#include "platform/Services.h"
#include "platform/UserStore.h"

#include <limits>

namespace {
const QString kCaption = QStringLiteral(" A C H T U N G ");
const QString kBelegt = QStringLiteral("Belegt");
const QString kBelegtValue = QStringLiteral("Belegt=");
} // namespace

qint32 creditAfterAnswer(qint32 credit) {
    return credit < std::numeric_limits<qint32>::max() ? credit + 1 : credit;
}

Watch::Watch(ServerLink& link, const Services& services, WatchWindow& window, QObject* parent)
    : QObject(parent), m_link(link), m_prompts(services.prompts), m_beeper(services.beeper),
      m_store(services.store), m_window(window) {
    Timer1.setInterval(services.watchIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &Watch::Timer1Timer);
    Timer1.start();
}

void Watch::Timer1Timer() {
    if (WatchBusy) {
        m_beeper.beep(500, 250);
        return;
    }
    WatchBusy = true;
    if (!m_link.isConnected())
        m_link.OpenConnection();
    if (WatchCount == 0) {
        m_window.alertBegin();
        WatchMessage = QStringLiteral("Torvanel Server meldet sich nicht !");
        const auto busy = m_store.readString(kBelegt, kBelegtValue);
        if (busy) {
            BusyList = *busy;
            if (!BusyList.isEmpty())
                WatchMessage += QStringLiteral("\n\rAktivierte Nst. = ") + BusyList;
        }
        m_prompts.ask(WatchMessage, kCaption, mb::OkCancel | mb::IconHand);
        m_link.Send(frames::heartbeat());
        WatchCount = 4;
        m_window.alertEnd();
    }
    if (!AlarmNst.isEmpty()) {
        m_window.alertBegin();
        m_prompts.ask(QStringLiteral("Alarm von Nst. ") + wire::fromWire(AlarmNst), kCaption,
                      mb::Ok);
        m_window.alertEnd();
    }
    --WatchCount;
    if (m_link.isConnected())
        m_link.Send(frames::heartbeat());
    WatchBusy = false;
}

void Watch::tableArrived() {
    WatchCount = 1;
}

void Watch::heartbeatAnswered(const HeartbeatAnswer& answer) {
    if (!answer.busyWrites.isEmpty())
        m_busyLatest = answer.busyWrites.last();
    // Every write syncs a file or the registry, and a server repeats the same list with every
    // answer. A write the store refused is not taken as written, so the next answer tries
    // again; losing the busy list must not cost the heartbeat.
    if (m_busyLatest && m_busyLatest != m_busyStored &&
        m_store.writeString(kBelegt, kBelegtValue, wire::fromWire(*m_busyLatest)))
        m_busyStored = m_busyLatest;
    if (answer.alarmNst)
        AlarmNst = *answer.alarmNst;
    WatchCount = creditAfterAnswer(WatchCount);
}

void Watch::holdBusy() {
    WatchBusy = true;
}

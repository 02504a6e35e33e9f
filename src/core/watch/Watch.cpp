#include "core/watch/Watch.h"

#include "core/link/Heartbeat.h"
#include "core/link/ServerWire.h"
#include "core/services/AlarmSound.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"
#include "core/services/Services.h"
#include "core/services/UserStore.h"
#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <utility>

namespace {
const QString kCaption = QStringLiteral(" A C H T U N G ");
const QString kBelegt = QStringLiteral("Belegt");
const QString kBelegtValue = QStringLiteral("Belegt=");
} // namespace

qint32 creditAfterAnswer(qint32 credit) {
    return credit < kMaxWatchCredit ? credit + 1 : kMaxWatchCredit;
}

Watch::Watch(ServerWire& link, const Services& services, WatchWindow& window, QObject* parent)
    : QObject(parent), m_link(link), m_prompts(services.prompts), m_beeper(services.beeper),
      m_sound(services.sound), m_store(services.store), m_now(services.now), m_window(window) {
    Timer1.setInterval(services.watchIntervalMs);
    // A coarse timer may fire up to 5 % early, which would cut short the ticks a silent server
    // is given before it is reported.
    Timer1.setTimerType(Qt::PreciseTimer);
    // Posted, not run inside the timer's own handler: Qt does not fire a timer again while its
    // handler is still running, and a tick may sit in a modal prompt for hours.
    connect(&Timer1, &QTimer::timeout, this, &Watch::Timer1Timer, Qt::QueuedConnection);
    Timer1.start();
}

void Watch::Timer1Timer() {
    const bool promptOpen = WatchBusy;
    if (promptOpen || m_held)
        m_beeper.beep(500, 250);
    if (m_held)
        return;
    // Under an open prompt the link and the heartbeat go on: an operator away from the desk
    // must find the server's return and the alarms of other rooms when he comes back.
    WatchBusy = true;
    if (!m_link.isConnected())
        m_link.OpenConnection();
    storeBusyList();
    if (!promptOpen && WatchCount == 0)
        silentServerPrompt();
    // Ticks under a prompt spend too; the credit stops at 0 so that the next free tick
    // still finds the server silent.
    if (WatchCount > 0)
        --WatchCount;
    const bool asked = m_link.isConnected() && m_link.Send(frames::heartbeat());
    if (!promptOpen && !AlarmNst.isEmpty()) {
        // Left to the answer to this heartbeat, which may withdraw it; an answer that never
        // came is not waited for twice.
        if (asked && !m_repeatDue)
            m_repeatDue = true;
        else
            alarmPrompt();
    }
    WatchBusy = promptOpen;
}

void Watch::storeBusyList() {
    // A write the store refused is not taken as written, so the next tick tries again.
    if (m_busyLatest && m_busyLatest != m_busyStored &&
        m_store.writeString(kBelegt, kBelegtValue, wire::fromWire(*m_busyLatest)))
        m_busyStored = m_busyLatest;
}

void Watch::silentServerPrompt() {
    if (!std::exchange(m_silent, true))
        emit serverSilent();
    WatchMessage = QStringLiteral("Torvanel Server meldet sich nicht !");
    const auto busy = m_store.readString(kBelegt, kBelegtValue);
    if (busy) {
        BusyList = *busy;
        if (!BusyList.isEmpty())
            WatchMessage += QStringLiteral("\n\rAktivierte Nst. = ") + BusyList;
    }
    prompt(WatchMessage, mb::OkCancel | mb::IconHand);
    m_link.Send(frames::heartbeat());
    WatchCount = kMaxWatchCredit;
}

void Watch::alarmPrompt() {
    // On screen now, whichever way it came: a repeat still due would show it twice.
    m_alarmUnseen = false;
    m_repeatDue = false;
    const QString nst = wire::fromWire(AlarmNst);
    const QDateTime opened = m_now();
    prompt(QStringLiteral("Alarm von Nst. ") + nst, mb::Ok);
    // A clock set back while the box stood open must not give a negative time.
    emit alarmAcknowledged(nst, qMax<qint64>(0, opened.msecsTo(m_now()) / 1000));
}

void Watch::showRaisedAlarm() {
    if (WatchBusy || m_held || !m_alarmUnseen || AlarmNst.isEmpty())
        return;
    WatchBusy = true;
    alarmPrompt();
    WatchBusy = false;
}

void Watch::prompt(const QString& text, unsigned flags) {
    m_window.alertBegin();
    m_sound.play();
    m_prompts.ask(text, kCaption, flags);
    m_window.alertEnd();
    // An alarm that came while the box was open is new to the operator: it must not wait
    // for the next tick. Posted, so the tick that opened the box finishes first.
    if (m_alarmUnseen)
        QMetaObject::invokeMethod(this, &Watch::showRaisedAlarm, Qt::QueuedConnection);
}

void Watch::tableArrived() {
    WatchCount = 1;
    serverAlive();
}

void Watch::serverAlive() {
    if (std::exchange(m_silent, false))
        emit serverAnswering();
}

void Watch::heartbeatAnswered(const HeartbeatAnswer& answer) {
    if (answer.alarmOff != m_alarmOff) {
        m_alarmOff = answer.alarmOff;
        emit alarmOffChanged(m_alarmOff);
    }
    // Only remembered: this runs inside the socket's read handler, and a server may send its
    // lists far faster than a store can sync them. The tick writes the latest.
    if (!answer.busyWrites.isEmpty())
        m_busyLatest = answer.busyWrites.last();
    if (answer.alarmNst && *answer.alarmNst != AlarmNst) {
        const QByteArray before = std::exchange(AlarmNst, *answer.alarmNst);
        m_alarmUnseen = !AlarmNst.isEmpty();
        if (m_alarmUnseen) {
            emit alarmRaised(wire::fromWire(AlarmNst));
            // Not from here: this runs inside the socket's read handler.
            QMetaObject::invokeMethod(this, &Watch::showRaisedAlarm, Qt::QueuedConnection);
        } else {
            emit alarmEnded(wire::fromWire(before));
        }
    }
    // The repeat a tick left to this answer, for the alarm as the answer leaves it.
    if (std::exchange(m_repeatDue, false) && !AlarmNst.isEmpty()) {
        m_alarmUnseen = true;
        QMetaObject::invokeMethod(this, &Watch::showRaisedAlarm, Qt::QueuedConnection);
    }
    WatchCount = creditAfterAnswer(WatchCount);
    serverAlive();
}

void Watch::holdBusy() {
    m_held = true;
}

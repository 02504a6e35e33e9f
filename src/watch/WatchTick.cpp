#include "RufNum/RufNum.h"

#include "link/Frames.h"
#include "link/Wire1252.h"
#include "platform/Beeper.h"
#include "platform/Prompts.h"
#include "platform/UserStore.h"

#include <QApplication>

// The five-second watch. It spends one unit of liveness credit per tick and raises the
// silent-server prompt when the credit has run down to 0; it shows the pending alarm at every
// tick while one stands. Prompts are modal and the event loop keeps running under them, so a
// tick that finds another tick still inside its prompt only beeps.

namespace {
const QString kCaption = QStringLiteral(" A C H T U N G ");
} // namespace

void TNummernForm::Timer1Timer() {
    if (WatchBusy) {
        m_services.beeper.beep(500, 250);
        return;
    }
    WatchBusy = true;
    if (!Connected)
        OpenConnection();
    if (WatchCount == 0) {
        alertBegin();
        WatchMessage = QStringLiteral("Torvanel Server meldet sich nicht !");
        const auto busy =
            m_services.store.readString(QStringLiteral("Belegt"), QStringLiteral("Belegt="));
        if (busy) {
            BusyList = *busy;
            if (!BusyList.isEmpty())
                WatchMessage += QStringLiteral("\n\rAktivierte Nst. = ") + BusyList;
        }
        m_services.prompts.ask(WatchMessage, kCaption, mb::OkCancel | mb::IconHand);
        SendFrame = frames::heartbeat();
        Send(SendFrame);
        WatchCount = 4;
        alertEnd();
    }
    if (!AlarmNst.isEmpty()) {
        alertBegin();
        m_services.prompts.ask(QStringLiteral("Alarm von Nst. ") + wire::fromWire(AlarmNst),
                               kCaption, mb::Ok);
        alertEnd();
    }
    --WatchCount;
    if (Connected) {
        SendFrame = frames::heartbeat();
        Send(SendFrame);
    }
    WatchBusy = false;
}

void TNummernForm::alertBegin() {
    setGridColor(Qt::red);
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    setVisible(true);
    raise();
    activateWindow();
}

void TNummernForm::alertEnd() {
    setGridColor(palette().color(QPalette::Base));
}

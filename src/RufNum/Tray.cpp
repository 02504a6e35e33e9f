#include "RufNum/RufNum.h"

#include "link/Frames.h"

#include <QMenu>
#include <QSystemTrayIcon>

// The client lives in the tray: the icon stays from construction until the program ends
// through its menu or an unhandled error, whatever the tray option says.

namespace {

// The tip of a tray icon holds 127 characters; never split a character pair when cutting.
QString tipFor(const QString& commandLineText) {
    QString tip = commandLineText.left(127);
    if (!tip.isEmpty() && tip.back().isHighSurrogate())
        tip.chop(1);
    return tip;
}

} // namespace

void TNummernForm::AddTrayIcon() {
    Tray = new QSystemTrayIcon(TrayIcon, this);
    Tray->setToolTip(tipFor(m_commandLineText));
    // The desktop opens the menu at the cursor on a right click and closes it when the
    // operator clicks elsewhere.
    Tray->setContextMenu(PopupMenu1);
    connect(Tray, &QSystemTrayIcon::activated, this, &TNummernForm::TrayIconMessage);
    Tray->show();
}

void TNummernForm::RemoveTrayIcon() {
    Tray->hide();
}

void TNummernForm::TrayIconMessage(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger)
        return;
    // Coming back from the tray always brings a fresh table; with the link down the
    // request goes nowhere and the window still comes back.
    m_link.Send(frames::tableRequest());
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

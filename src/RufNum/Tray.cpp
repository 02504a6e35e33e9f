#include "RufNum/RufNum.h"

#include "core/link/ServerLink.h"

#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <optional>

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

// The icon in another colour: every coloured pixel takes `hue`, or turns pale grey without
// one. White stays, so the letter reads the same in every state.
QIcon recoloured(const QIcon& icon, std::optional<int> hue) {
    QIcon result;
    for (const QSize& size : icon.availableSizes()) {
        QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                // Pale, as a switched-off thing looks; white stays white.
                const int grey = 96 + qGray(c.rgb()) * 159 / 255;
                image.setPixelColor(
                    x, y,
                    hue ? QColor::fromHsv(*hue, c.hsvSaturation(), c.value(), c.alpha())
                        : QColor(grey, grey, grey, c.alpha()));
            }
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

} // namespace

void TNummernForm::AddTrayIcon() {
    m_alarmTrayIcon = recoloured(TrayIcon, 0);
    m_offlineTrayIcon = recoloured(TrayIcon, std::nullopt);
    Tray = new QSystemTrayIcon(TrayIcon, this);
    Tray->setToolTip(tipFor(m_commandLineText));
    // The desktop opens the menu at the cursor on a right click and closes it when the
    // operator clicks elsewhere.
    Tray->setContextMenu(PopupMenu1);
    connect(Tray, &QSystemTrayIcon::activated, this, &TNummernForm::TrayIconMessage);
    Tray->show();
}

void TNummernForm::updateTrayIcon() {
    const Watch& watch = m_client.watch();
    if (!watch.alarmNst().isEmpty() || watch.isServerSilent())
        Tray->setIcon(m_alarmTrayIcon);
    else if (!m_link->isConnected())
        Tray->setIcon(m_offlineTrayIcon);
    else
        Tray->setIcon(TrayIcon);
}

void TNummernForm::RemoveTrayIcon() {
    Tray->hide();
}

void TNummernForm::TrayIconMessage(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger)
        return;
    // Coming back from the tray always brings a fresh table.
    m_client.reload();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

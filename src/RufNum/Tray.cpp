#include "RufNum/Tray.h"

#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <optional>

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
        for (int y = 0; y < image.height(); ++y) {
            // On the scan line itself: the pixel accessors check and convert at every pixel,
            // and the grey icon is made while the operator waits for the window. The colours
            // go through QColor as they would through those accessors, to the same values.
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QColor c(QRgba64::fromArgb32(line[x]));
                QColor to;
                if (hue) {
                    const QColor hsv = c.toHsv();
                    to = QColor::fromHsv(*hue, hsv.hsvSaturation(), hsv.value(), c.alpha());
                } else {
                    // Pale, as a switched-off thing looks; white stays white.
                    const int grey = 96 + qGray(c.rgb()) * 159 / 255;
                    to = QColor(grey, grey, grey, c.alpha());
                }
                line[x] = to.rgba64().toArgb32();
            }
        }
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

} // namespace

Tray::Tray(const QIcon& icon, const QString& commandLineText, QObject* parent)
    : QObject(parent), TrayIcon(icon), PopupMenu1(std::make_unique<QMenu>()),
      m_icon(new QSystemTrayIcon(icon, this)) {
    m_report = PopupMenu1->addAction(QStringLiteral("Alarmprotokoll …"));
    connect(m_report, &QAction::triggered, this, &Tray::reportRequested);
    PopupMenu1->addSeparator();
    B1 = PopupMenu1->addAction(QStringLiteral("TorvanelClient Beenden"));
    connect(B1, &QAction::triggered, this, &Tray::quitRequested);
    m_icon->setToolTip(tipFor(commandLineText));
    // The desktop opens the menu at the cursor on a right click and closes it when the
    // operator clicks elsewhere.
    m_icon->setContextMenu(PopupMenu1.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, &Tray::TrayIconMessage);
    m_icon->show();
}

Tray::~Tray() = default;

void Tray::setState(State state) {
    m_state = state;
    // Each colour is made the first time its state comes: most runs never see an alarm.
    if (state == State::Alarm && m_alarmIcon.isNull())
        m_alarmIcon = recoloured(TrayIcon, 0);
    if (state == State::Offline && m_offlineIcon.isNull())
        m_offlineIcon = recoloured(TrayIcon, std::nullopt);
    m_icon->setIcon(state == State::Alarm     ? m_alarmIcon
                    : state == State::Offline ? m_offlineIcon
                                              : TrayIcon);
}

void Tray::RemoveTrayIcon() {
    m_icon->hide();
}

void Tray::TrayIconMessage(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger)
        emit restoreRequested();
}

#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>

class QAction;
class QMenu;

// The client lives in the tray: the icon stays from construction until the program ends
// through its menu or an unhandled error, whatever the tray option says. Its tip is the
// command-line text, its colour the state; a left click asks for the window, and its menu
// holds the report and the only way to end the program.
class Tray : public QObject {
    Q_OBJECT
public:
    enum class State { Normal, Alarm, Offline };

    Tray(const QIcon& icon, const QString& commandLineText, QObject* parent = nullptr);
    ~Tray() override;

    // Red while an alarm stands or the server is silent, grey while the link is down.
    void setState(State state);
    State state() const { return m_state; }
    void RemoveTrayIcon();

signals:
    // A left click on the icon.
    void restoreRequested();
    // The menu's "TorvanelClient Beenden".
    void quitRequested();
    // The menu's "Alarmprotokoll …".
    void reportRequested();

private:
    void TrayIconMessage(QSystemTrayIcon::ActivationReason reason);

    QIcon TrayIcon;
    // Null until their state first comes.
    QIcon m_alarmIcon;
    QIcon m_offlineIcon;
    State m_state = State::Normal;
    std::unique_ptr<QMenu> PopupMenu1;
    QAction* m_report = nullptr;
    QAction* B1 = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
};

#pragma once

#include "link/ServerLink.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "table/NumberTable.h"
#include "watch/AlarmJournal.h"
#include "watch/Watch.h"

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;

// The client's one window: its layout, the tray, the lifecycle handlers and the wiring of the
// objects that hold the client's state. Where the names of the operator's documentation live:
//
//   ClientZuServer, Timer2, Connected, ReceiveBuffer,   ServerLink   link/ServerLink.h
//   OpenConnection, Send, Timer2Timer, ClientZuServer*
//   Timer1, Timer1Timer, WatchCount, WatchBusy,         Watch        watch/Watch.h
//   AlarmNst, BusyList, WatchMessage
//   the alarm journal                                   AlarmJournal watch/AlarmJournal.h
//   TableLines, RowNst, TableModified, LoadTable,       NumberTable  table/NumberTable.h
//   FillGrid, SaveTable
//   NummernGridGetEditMask                              table/EditMask.h
//   InSysTry, LogoFile, IniFileName, ReadSettings,      Settings     settings/Settings.h
//   WriteSettings
//   SendFrame, SaveFrame                                composed where sent (link/Frames.h)
//   everything else (FormCreate, FormClose, B1Click,    this window
//   Button1Click, AppException, SaveSettingsAndTable,
//   HideToTray, tray, NummernText, Label1, Label2 ...)
class TNummernForm : public QWidget, private WatchWindow {
    Q_OBJECT
public:
    // Reads the settings, shows the tray icon and opens the link. A logo file that is there
    // but no picture throws.
    TNummernForm(const QString& commandLineText, Services services, QWidget* parent = nullptr);
    ~TNummernForm() override;

    // Lifecycle
    void FormCreate();
    void AppException(const QString& message);
    void FormClose();
    void Button1Click();
    void B1Click();
    void HideToTray();
    bool SaveSettingsAndTable();

    // Tray
    void AddTrayIcon();
    void RemoveTrayIcon();
    void TrayIconMessage(QSystemTrayIcon::ActivationReason reason);
    // Red while an alarm stands or the server is silent, grey while the link is down.
    void updateTrayIcon();

    // Component handlers, forwarded to the objects that own them
    void NummernTextClick();
    void Timer1Timer() { m_watch.Timer1Timer(); }
    void NummernGridDblClick(int column);
    void NummernGridSetEditText();

signals:
    // Emitted when the program is to end (quit confirmed or an unhandled error).
    void terminateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void alertBegin() override;
    void alertEnd() override;

    void buildComponents();
    void wireObjects();
    void ReadSettings();
    void setGridColor(const QColor& color);
    static void setCaption(QLabel* label, const QString& text);
    void setupNummernGrid();
    void fitColumnsToTitles();
    void commitOpenEditor();
    void endProgram();
    // Out of the tray or the taskbar, in front, with the focus.
    void bringForward();

    QString m_commandLineText;
    Services m_services;
    Settings m_settings;
    ServerLink m_link;
    NumberTable m_table;
    Watch m_watch;
    AlarmJournal m_journal;
    QIcon TrayIcon;
    QIcon m_alarmTrayIcon;
    QIcon m_offlineTrayIcon;

    QTableView* NummernGrid = nullptr;
    QLabel* NummernText = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* B1 = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QSystemTrayIcon* Tray = nullptr;

    // A quit or an unhandled error that comes while a save is asking its questions ends the
    // program once that save is over; ending at once would cut its questions short and the
    // edits would go unsent without the operator having declined them.
    enum class EndAfterSave { No, IfSaved, Always };
    EndAfterSave m_endAfterSave = EndAfterSave::No;
    // The settings file's refusal is told once a run, not at every save.
    bool m_settingsProblemShown = false;
    // Where the window was left, frame included; placed so at its first show.
    QRect m_outerPlacement;
    bool m_framePlaced = false;
};

#pragma once

#include "core/Client.h"
#include "core/services/Services.h"

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class OuterPlacement;
class ReportWindow;
class Tray;
class ServerLink;

// The client's one window: its layout, the tray, and the drawing of the client it holds.
// Where the names of the operator's documentation live (folders below src/):
//
//   ClientZuServer, Connected, ReceiveBuffer,           ServerLink   core/link/ServerLink.h
//   OpenConnection, Send, ClientZuServer*
//   Timer2, Timer2Timer, SaveSettingsAndTable,          Client       core/Client.h
//   Button1Click, FormClose, B1Click, AppException
//   Timer1, Timer1Timer, WatchCount, WatchBusy,         Watch        core/watch/Watch.h
//   AlarmNst, BusyList, WatchMessage
//   the alarm journal                                   AlarmJournal core/records/AlarmJournal.h
//   TableLines, RowNst, TableModified, LoadTable,       NumberTable  core/table/NumberTable.h
//   FillGrid, SaveTable, NummernGridSetEditText
//   InSysTry, LogoFile, IniFileName, ReadSettings,      Settings     core/settings/Settings.h
//   WriteSettings
//   SendFrame, SaveFrame                                composed where sent (wire/Frames.h)
//   NummernGridGetEditMask                              RufNum/EditMask.h
//   the alarm report ("Alarmprotokoll")                 ReportWindow RufNum/report/
//   everything else (FormCreate, HideToTray, tray,      this window
//   NummernText, Label1, Label2 ...)
class TNummernForm : public QWidget, private ClientWindow {
    Q_OBJECT
public:
    // Reads the settings, shows the tray icon and opens the link. A logo file that is there
    // but no picture throws.
    TNummernForm(const QString& commandLineText, Services services, QWidget* parent = nullptr);
    ~TNummernForm() override;

    // The core it draws; save, close, quit and the unhandled error are its steps.
    Client& client() { return m_client; }
    // Makes the window the handler of errors nobody else handled.
    void FormCreate();

signals:
    // Emitted when the program is to end (quit confirmed or an unhandled error).
    void terminateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Component handlers
    void TrayIconMessage();
    void updateTrayIcon();
    void NummernTextClick();
    void NummernGridDblClick(int column);
    // The alarm report beside the window, read afresh (the tray menu, Strg+J).
    void openReport();

    // What the client asks of its window
    void HideToTray() override;
    void alertBegin() override;
    void alertEnd() override;
    QRect placement() const override;
    void commitOpenEditor() override;
    void bringForward() override;
    void endProgram() override;

    void buildComponents();
    void wireObjects();
    void ReadSettings();
    void setGridColor(const QColor& color);
    static void setCaption(QLabel* label, const QString& text);
    void setupNummernGrid();
    void fitColumnsToTitles();

    QString m_commandLineText;
    Services m_services;
    ServerLink* m_link;
    Client m_client;

    QTableView* NummernGrid = nullptr;
    QLabel* NummernText = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    Tray* m_tray = nullptr;

    // The grid's current cell when the rows were last refilled, and whether it was open.
    struct GridPlace {
        int row = -1;
        int column = 0;
        bool editing = false;
    };
    GridPlace m_place;
    // Where the window was left, frame included, and where it is.
    OuterPlacement* m_placement = nullptr;
    // Made when first asked for; a window of its own, so that it stays while this one is in
    // the tray.
    std::unique_ptr<ReportWindow> m_report;
};

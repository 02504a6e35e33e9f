#pragma once

#include "link/FrameReader.h"

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>
#include <QSystemTrayIcon>
#include <QTcpSocket>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class NummernModel;
class Prompts;
class Beeper;
class UserStore;
class ShellOpen;

// What the window needs from the desktop; tests hand in fakes.
struct Services {
    Prompts& prompts;
    Beeper& beeper;
    UserStore& store;
    ShellOpen& shell;
    // Where the settings file lives: the program's own folder, never the working folder.
    QString programDir;
};

// The client's one window. All of the client's state lives here; the handlers carry the
// names of the component and the event they answer, and are public so that tests can drive
// them without a screen, a real timer or a mouse.
class TNummernForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 120;
    static constexpr int kWatchInterval = 5000;
    static constexpr int kTableRequestInterval = 500;

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

    // Settings
    void ReadSettings();
    void WriteSettings();
    // The full path of the settings file.
    QString iniFilePath() const;

    // Tray
    void AddTrayIcon();
    void RemoveTrayIcon();
    void TrayIconMessage(QSystemTrayIcon::ActivationReason reason);

    // Settings file link
    void NummernTextClick();

    // Server link
    void ClientZuServerLookup();
    void ClientZuServerConnect();
    void ClientZuServerDisconnect();
    void ClientZuServerError(QAbstractSocket::SocketError error);
    void ClientZuServerRead();
    void dispatchFrame(const QByteArray& frame);
    void Timer2Timer();
    void OpenConnection();
    // Points the link elsewhere and drops any attempt under way; the next open uses it.
    void setServer(const QString& host, quint16 port);
    void Send(const QByteArray& frame);

    // Watch
    void Timer1Timer();
    void alertBegin();
    void alertEnd();

    // Table
    void LoadTable(const QByteArray& frame);
    void FillGrid();
    bool SaveTable();
    void NummernGridDblClick(int column);
    void NummernGridSetEditText(int column, int row, const QString& text);

    // Members, named as the operator's documentation names them.
    bool TableModified = false;
    std::array<QByteArray, kMaxRows> RowNst;
    QString WatchMessage;
    QString BusyList;
    qint32 WatchCount = 4;
    bool WatchBusy = false;
    bool InSysTry = true;
    QByteArray AlarmNst;
    QString LogoFile;
    QList<QByteArray> TableLines;
    QString IniFileName;
    bool Connected = false;
    FrameReader ReceiveBuffer;
    QByteArray SendFrame;
    QByteArray SaveFrame;
    QIcon TrayIcon;

    // Components
    QTableView* NummernGrid = nullptr;
    NummernModel* GridModel = nullptr;
    QLabel* NummernText = nullptr;
    QTimer Timer1;
    QMenu* PopupMenu1 = nullptr;
    QAction* B1 = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    QTcpSocket ClientZuServer;
    QTimer Timer2;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QSystemTrayIcon* Tray = nullptr;

    QString host() const { return m_host; }
    // As configured; a port outside 1 to 65535 is kept, and the link reports it unusable.
    int port() const { return m_port; }
    const QString& commandLineText() const { return m_commandLineText; }
    // The grid's background colour: red while a watch prompt is open.
    QColor gridColor() const;

signals:
    // Emitted when the program is to end (quit confirmed or an unhandled error).
    void terminateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildComponents();
    void wireSocket();
    void setGridColor(const QColor& color);
    static void setCaption(QLabel* label, const QString& text);
    void setupNummernGrid();
    void commitOpenEditor();
    bool saveRows();

    QString m_commandLineText;
    Services m_services;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 6767;
    bool m_attemptUnderWay = false;
    // A save is asking or sending; tables that arrive meanwhile wait in m_deferredTable.
    bool m_saveRunning = false;
    // A quit or an unhandled error that comes while a save is asking its questions ends the
    // program once that save is over; ending at once would cut its questions short and the
    // edits would go unsent without the operator having declined them.
    enum class EndAfterSave { No, IfSaved, Always };
    EndAfterSave m_endAfterSave = EndAfterSave::No;
    void endProgram();
    void showForMending();
    std::optional<QByteArray> m_deferredTable;
};

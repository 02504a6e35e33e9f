#pragma once

#include "core/records/AlarmJournal.h"
#include "core/records/ChangeLog.h"
#include "core/services/Services.h"
#include "core/settings/Settings.h"
#include "core/table/NumberTable.h"
#include "core/watch/Watch.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

class ServerWire;

// What the client needs of its window, beyond coming forward for the watch.
class ClientWindow : public WatchWindow {
public:
    // The outer window's place and size, kept in the settings at every save.
    virtual QRect placement() const = 0;
    // An editor still open holds text the operator means to save.
    virtual void commitOpenEditor() = 0;
    // Out of the tray or the taskbar, in front, with the focus.
    virtual void bringForward() = 0;
    virtual void HideToTray() = 0;
    // The tray icon goes and the program ends.
    virtual void endProgram() = 0;

protected:
    ~ClientWindow() = default;
};

// The client without its window: the link, the table, the watch, the journal, the change log
// and the settings, wired together, and the steps the window's buttons, its close box, the tray and
// an unhandled error set off. The window holds one and draws it; tests drive one through a
// link in memory.
//
// After every connect the table is requested every `Timer2` interval until a table arrives.
class Client : public QObject {
    Q_OBJECT
public:
    // Takes the link over. Reads the settings; the link opens at start().
    Client(ServerWire* link, const QString& commandLineText, const Services& services,
           ClientWindow& window, QObject* parent = nullptr);

    ServerWire& link() { return m_link; }
    NumberTable& table() { return m_table; }
    Watch& watch() { return m_watch; }
    AlarmJournal& journal() { return m_journal; }
    ChangeLog& changeLog() { return m_changeLog; }
    const Settings& settings() const { return m_settings; }

    void start();

    // Writes the settings and saves the table; false when the table's save was refused.
    bool SaveSettingsAndTable();
    // "Speichern": saves, then to the tray when the settings say so.
    void Button1Click();
    // The close box: saves, then to the tray; a refused save keeps the window.
    void FormClose();
    // The tray menu's quit: asks, saves, ends; a refused save keeps the program.
    void B1Click();
    // An error nobody handled: told, saved, ended.
    void AppException(const QString& message);
    // The desktop ends the program (a signal, the session's end): the quit's steps without
    // its question, for nobody may be there to answer. The settings are written; edits not
    // sent stay unsent, and the journal's end line says so. A save asking its questions is
    // let finish first. Once ended, nothing more.
    void desktopEnds();
    // The session asks for what is to be kept before it may end: the settings, unasked.
    void desktopMayEnd();
    // The tray's click: a fresh table.
    void reload();
    void Timer2Timer();

private:
    void end();
    void writeSettingsUntold();

    Services m_services;
    ClientWindow& m_window;
    ServerWire& m_link;
    Settings m_settings;
    NumberTable m_table;
    Watch m_watch;
    AlarmJournal m_journal;
    ChangeLog m_changeLog;
    QTimer Timer2;

    // A quit, an unhandled error or the desktop's end that comes while a save is asking its
    // questions ends the program once that save is over; ending at once would cut its
    // questions short and the edits would go unsent without the operator having declined
    // them. The strongest wish wins.
    enum class EndAfterSave { No, IfSaved, Always };
    void endAfterSave(EndAfterSave when);
    EndAfterSave m_endAfterSave = EndAfterSave::No;
    bool m_ended = false;
    // The settings file's refusal is told once a run, not at every save.
    bool m_settingsProblemShown = false;
};

#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

class UserStore;

// Where the settings file may live: beside the program when its folder holds one or can be
// written (a portable install, Windows); otherwise, as for a client installed into a system
// folder (the folder it was built to be installed to counts as one even for root), in the
// user's config folder, which the first save creates from the first of the administrator's
// folders that holds one.
struct SettingsFolders {
    QString program;
    QStringList config; // the user's first, then the administrator's
};

// The client's settings. The administrator's live in the INI file (see SettingsFolders): the
// tray option, the server's host and port (in the section "UDPLink" + command-line text) and
// the logo file. What the client records itself, the window's placement, lives in the user
// store under names that end in the command-line text. The text tells instances apart
// there and nowhere else.
//
// Every read and every save opens the file afresh; nothing is kept open in between.
class Settings {
public:
    Settings(const SettingsFolders& folders, QString commandLineText, UserStore& store);

    // The full path of the settings file in use: the one the settings are read from.
    QString iniFilePath() const;

    // Reads the INI file's entries; an absent or unusable entry gives its default.
    void ReadSettings();
    bool inSysTry() const { return InSysTry; }
    const QString& host() const { return m_host; }
    // As configured; a port outside 1 to 65535 is kept for the link to report.
    int port() const { return m_port; }
    const QString& logoFile() const { return LogoFile; }

    // Where the window was left: left, top, width, height. The four values belong together:
    // one missing or unreadable and none is used, and the window opens at 0, 0 in 600 x 135.
    QRect placement() const;

    // Writes the entries a fresh file lacks, the tray option and the window's placement.
    // Returns why the entries a fresh file lacks could not be written, naming the file: the
    // administrator must hear of that, and the caller decides when. Empty when they could be,
    // or none were due; the other failures are routine and dropped.
    [[nodiscard]] QString WriteSettings(const QRect& placement);

private:
    // Makes the user's folder and copies the administrator's file into it before the first
    // write there; says why the administrator's file could not be used.
    QString seedUserFile() const;

    QString m_iniPath;
    QString m_seedPath; // the administrator's, empty when there is none to look for
    bool m_inUserFolder = false;
    QString m_commandLineText;
    UserStore& m_store;
    bool InSysTry = true;
    QString m_host;
    int m_port = 0;
    QString LogoFile;
};

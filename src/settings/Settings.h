#pragma once

#include <QRect>
#include <QString>

class UserStore;

// The client's settings. The administrator's live in the INI file beside the program: the
// tray option, the server's host and port (in the section "UDPLink" + command-line text) and
// the logo file. What the client records itself, the window's placement, lives in the user
// store under names that end in the command-line text. The text tells instances apart
// there and nowhere else.
//
// Every read and every save opens the file afresh; nothing is kept open in between.
class Settings {
public:
    Settings(QString programDir, QString commandLineText, UserStore& store);

    // The full path of the settings file.
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
    QString m_programDir;
    QString m_commandLineText;
    UserStore& m_store;
    QString IniFileName = QStringLiteral("TorvanelClient.ini");
    bool InSysTry = true;
    QString m_host;
    int m_port = 0;
    QString LogoFile;
};

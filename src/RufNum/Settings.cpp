#include "RufNum/IniFile.h"
#include "RufNum/Logo.h"
#include "RufNum/RufNum.h"
#include "platform/UserStore.h"

#include <QDir>
#include <QLabel>

// The administrator's settings live in the INI file beside the program; what the client
// records itself (the window position) lives in the user store. The command-line text
// tells the instances apart in the server section and the position names, nowhere else.

namespace {

const QString kGeneral = QStringLiteral("ALLGEMEIN");
// The logo entry has always been written under this spelling; names match without regard
// to case, so both spellings are one section in the file.
const QString kGeneralLogo = QStringLiteral("AllGEMEIN");
const QString kInSysTry = QStringLiteral("InSysTry");
const QString kPort = QStringLiteral("H_Port");
const QString kHost = QStringLiteral("H_TCPIP");
const QString kLogo = QStringLiteral("LogoDatei");
const QString kPositionKey = QStringLiteral("Position");

constexpr int kDefaultPort = 6767;
const QString kDefaultHost = QStringLiteral("127.0.0.1");
const QString kDefaultLogo = QStringLiteral("BMP_klein.bmp");

} // namespace

QString TNummernForm::iniFilePath() const {
    return QDir(m_services.programDir).filePath(IniFileName);
}

void TNummernForm::ReadSettings() {
    const IniFile ini(iniFilePath());
    const QString link = QStringLiteral("UDPLink") + m_commandLineText;
    InSysTry = ini.readBool(kGeneral, kInSysTry, true);
    m_port = ini.readInt(link, kPort, kDefaultPort);
    m_host = ini.readString(link, kHost, kDefaultHost);
    LogoFile = ini.readString(kGeneralLogo, kLogo, kDefaultLogo);
    const QImage logo = loadLogoPicture(LogoFile);
    if (!logo.isNull())
        Image1->setPixmap(QPixmap::fromImage(logo));

    // The four values belong together: one missing or unreadable value and none is used.
    const QString& t = m_commandLineText;
    UserStore& store = m_services.store;
    const auto left = store.readInt(kPositionKey, QStringLiteral("Left") + t);
    const auto top = store.readInt(kPositionKey, QStringLiteral("Top") + t);
    const auto height = store.readInt(kPositionKey, QStringLiteral("Height") + t);
    const auto width = store.readInt(kPositionKey, QStringLiteral("Width") + t);
    // resize() keeps the window's size limits, so the fallback height 135 becomes 200.
    if (left && top && height && width) {
        move(*left, *top);
        resize(*width, *height);
    } else {
        move(0, 0);
        resize(600, 135);
    }
}

void TNummernForm::WriteSettings() {
    IniFile ini(iniFilePath());
    const QString link = QStringLiteral("UDPLink") + m_commandLineText;
    // A port of 0 (or none) means the file was never set up: write what we run with, so the
    // administrator finds every entry to edit. Failing here is an error worth reporting.
    if (ini.readInt(link, kPort, 0) == 0) {
        ini.writeInt(link, kPort, m_port);
        ini.writeString(link, kHost, m_host);
        ini.writeString(kGeneralLogo, kLogo, LogoFile);
        ini.writeBool(kGeneral, kInSysTry, InSysTry);
    }

    // The rest is routine bookkeeping; when it cannot be done we carry on without a word.
    try {
        ini.writeBool(kGeneral, kInSysTry, InSysTry);
    } catch (const std::exception&) {
        return;
    }
    const QString& t = m_commandLineText;
    UserStore& store = m_services.store;
    store.writeInt(kPositionKey, QStringLiteral("Left") + t, x()) &&
        store.writeInt(kPositionKey, QStringLiteral("Top") + t, y()) &&
        store.writeInt(kPositionKey, QStringLiteral("Height") + t, height()) &&
        store.writeInt(kPositionKey, QStringLiteral("Width") + t, width());
}

#include "Settings.h"

#include "platform/UserStore.h"
#include "settings/IniFile.h"

#include <QDir>
#include <stdexcept>

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
const QRect kDefaultPlacement(0, 0, 600, 135);

} // namespace

Settings::Settings(QString programDir, QString commandLineText, UserStore& store)
    : m_programDir(std::move(programDir)), m_commandLineText(std::move(commandLineText)),
      m_store(store) {}

QString Settings::iniFilePath() const {
    return QDir(m_programDir).filePath(IniFileName);
}

void Settings::ReadSettings() {
    const IniFile ini(iniFilePath());
    const QString link = QStringLiteral("UDPLink") + m_commandLineText;
    InSysTry = ini.readBool(kGeneral, kInSysTry, true);
    // A text that cannot name a section has none to read; what another section holds is
    // not ours.
    const bool named = ini.unnamable(link).isEmpty();
    m_port = named ? ini.readInt(link, kPort, kDefaultPort) : kDefaultPort;
    m_host = named ? ini.readString(link, kHost, kDefaultHost) : kDefaultHost;
    LogoFile = ini.readString(kGeneralLogo, kLogo, kDefaultLogo);
}

QRect Settings::placement() const {
    const QString& t = m_commandLineText;
    const auto left = m_store.readInt(kPositionKey, QStringLiteral("Left") + t);
    const auto top = m_store.readInt(kPositionKey, QStringLiteral("Top") + t);
    const auto height = m_store.readInt(kPositionKey, QStringLiteral("Height") + t);
    const auto width = m_store.readInt(kPositionKey, QStringLiteral("Width") + t);
    if (left && top && height && width)
        return QRect(*left, *top, *width, *height);
    return kDefaultPlacement;
}

QString Settings::WriteSettings(const QRect& placement) {
    IniFile ini(iniFilePath());
    const QString link = QStringLiteral("UDPLink") + m_commandLineText;
    QString problem;
    // A port of 0 (or none) means the file was never set up: write what we run with, so the
    // administrator finds every entry to edit. Failing here is worth reporting, but not worth
    // the operator's save: the rest goes on. A text that cannot name a section gets none
    // written, and none of the other first-run entries either: they belong together.
    if (const QString why = ini.unnamable(link); !why.isEmpty()) {
        problem = QStringLiteral("Der Aufruftext \"%1\" kann keinen Abschnitt in der "
                                 "Einstellungsdatei \"%2\" benennen, denn er %3. Es gelten "
                                 "Server %4 und Port %5 !")
                      .arg(m_commandLineText, QDir::toNativeSeparators(iniFilePath()), why, m_host,
                           QString::number(m_port));
    } else if (ini.readInt(link, kPort, 0) == 0) {
        try {
            ini.writeInt(link, kPort, m_port);
            ini.writeString(link, kHost, m_host);
            ini.writeString(kGeneralLogo, kLogo, LogoFile);
            ini.writeBool(kGeneral, kInSysTry, InSysTry);
        } catch (const std::exception& e) {
            problem = QString::fromLocal8Bit(e.what());
        }
    }

    // The rest is routine bookkeeping; when it cannot be done we carry on without a word.
    try {
        ini.writeBool(kGeneral, kInSysTry, InSysTry);
    } catch (const std::exception&) {
        return problem;
    }
    const QString& t = m_commandLineText;
    m_store.writeInt(kPositionKey, QStringLiteral("Left") + t, placement.x()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Top") + t, placement.y()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Height") + t, placement.height()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Width") + t, placement.width());
    return problem;
}

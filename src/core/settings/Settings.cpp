#include "core/settings/Settings.h"

#include "core/services/UserStore.h"
#include "core/settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
const QString IniFileName = QStringLiteral("TorvanelClient.ini");

} // namespace

Settings::Settings(const SettingsFolders& folders, QString commandLineText, UserStore& store)
    : m_commandLineText(std::move(commandLineText)), m_store(store) {
    const QString beside = QDir(folders.program).filePath(IniFileName);
    m_iniPath = beside;
    const QFileInfo program(folders.program);
    const bool installed =
        program.exists() &&
        program.canonicalFilePath() ==
            QFileInfo(QStringLiteral(TORVANEL_INSTALL_BINDIR)).canonicalFilePath();
    if (QFileInfo::exists(beside) || (program.isWritable() && !installed) ||
        folders.config.isEmpty())
        return;
    m_iniPath = QDir(folders.config.first()).filePath(IniFileName);
    m_inUserFolder = true;
    // The administrator's file, if there is one; should it go later, reading or copying a
    // missing file gives the defaults, as a missing file of our own does.
    for (const QString& folder : folders.config.mid(1)) {
        const QString seed = QDir(folder).filePath(IniFileName);
        if (QFileInfo::exists(seed)) {
            m_seedPath = seed;
            break;
        }
    }
}

QString Settings::iniFilePath() const {
    return QFileInfo::exists(m_iniPath) || m_seedPath.isEmpty() ? m_iniPath : m_seedPath;
}

QString Settings::seedUserFile() const {
    if (!m_inUserFolder || QFileInfo::exists(m_iniPath))
        return {};
    // The user's config folder may not be there yet. One that cannot be made fails the
    // first write, which says so naming the file.
    QDir().mkpath(QFileInfo(m_iniPath).absolutePath());
    if (m_seedPath.isEmpty())
        return {};
    const IniFile seed(m_seedPath);
    if (!seed.problem().isEmpty())
        return QStringLiteral(
                   "Die Einstellungsdatei \"%1\" kann nicht verwendet werden, denn sie %2. "
                   "Es gelten die Voreinstellungen !")
            .arg(QDir::toNativeSeparators(m_seedPath), seed.problem());
    // The copy keeps the administrator's mode, often read-only; ours must take every save.
    if (QFile::copy(m_seedPath, m_iniPath))
        QFile::setPermissions(m_iniPath, QFile::permissions(m_iniPath) | QFileDevice::WriteOwner);
    return {};
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
    QStringList problems(seedUserFile());
    problems.removeAll(QString());
    IniFile ini(m_iniPath);
    const QString link = QStringLiteral("UDPLink") + m_commandLineText;
    // A port of 0 (or none) means the file was never set up: write what we run with, so the
    // administrator finds every entry to edit. Failing here is worth reporting, but not worth
    // the operator's save: the rest goes on. A text that cannot name a section gets none
    // written, and none of the other first-run entries either: they belong together.
    if (const QString why = ini.unnamable(link); !why.isEmpty()) {
        problems << QStringLiteral("Der Aufruftext \"%1\" kann keinen Abschnitt in der "
                                   "Einstellungsdatei \"%2\" benennen, denn er %3. Es gelten "
                                   "Server %4 und Port %5 !")
                        .arg(m_commandLineText, QDir::toNativeSeparators(m_iniPath), why, m_host,
                             QString::number(m_port));
    } else if (ini.readInt(link, kPort, 0) == 0) {
        // The first that fails says why; the others would fail alike.
        QString why = ini.writeInt(link, kPort, m_port);
        if (why.isEmpty())
            why = ini.writeString(link, kHost, m_host);
        if (why.isEmpty())
            why = ini.writeString(kGeneralLogo, kLogo, LogoFile);
        if (why.isEmpty())
            why = ini.writeBool(kGeneral, kInSysTry, InSysTry);
        if (!why.isEmpty())
            problems << why;
    }

    // The rest is routine bookkeeping; when it cannot be done we carry on without a word.
    if (!ini.writeBool(kGeneral, kInSysTry, InSysTry).isEmpty())
        return problems.join(QStringLiteral("\n\n"));
    const QString& t = m_commandLineText;
    m_store.writeInt(kPositionKey, QStringLiteral("Left") + t, placement.x()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Top") + t, placement.y()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Height") + t, placement.height()) &&
        m_store.writeInt(kPositionKey, QStringLiteral("Width") + t, placement.width());
    return problems.join(QStringLiteral("\n\n"));
}

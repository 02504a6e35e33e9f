#include "platform/CanberraPlayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QtDebug>

// QT_LOGGING_RULES="torvanel.sound.debug=true" shows every sound started.
Q_LOGGING_CATEGORY(lcSound, "torvanel.sound", QtWarningMsg)

namespace {
// One sound at a time: a new alarm cancels the one still sounding and starts it afresh.
constexpr uint32_t kSoundId = 1;

// QLibrary tells nothing of a name it could not find; `missing` does.
template <typename F>
bool resolve(QLibrary& library, F& function, const char* name, QString& missing) {
    function = reinterpret_cast<F>(library.resolve(name));
    if (!function)
        missing = library.fileName() + QStringLiteral(": no ") + QLatin1String(name);
    return function != nullptr;
}
} // namespace

CanberraPlayer::CanberraPlayer(QString resource, QString library)
    : m_resource(std::move(resource)), m_libraryName(std::move(library)) {}

CanberraPlayer::~CanberraPlayer() {
    if (m_context)
        m_ca.destroy(m_context);
    // The library stays mapped: its sound backends may have left threads of their own.
}

void CanberraPlayer::request() {
    if (!m_pending.exchange(true))
        QMetaObject::invokeMethod(this, &CanberraPlayer::playNow, Qt::QueuedConnection);
}

void CanberraPlayer::playNow() {
    m_pending = false;
    if (m_state == State::Untried)
        m_state = setUp() ? State::Ready : State::Broken;
    if (m_state != State::Ready)
        return;
    qCDebug(lcSound) << "Alarm sound started";
    m_ca.cancel(m_context, kSoundId);
    // A device that is missing now may be there at the next alarm; libcanberra tries again.
    const int result = m_ca.play(m_context, kSoundId, CA_PROP_MEDIA_FILENAME,
                                 QFile::encodeName(m_copy.fileName()).constData(),
                                 CA_PROP_EVENT_DESCRIPTION, "Alarm", nullptr);
    if (result != CA_SUCCESS)
        warnOnce(QString::fromUtf8(m_ca.strerror(result)));
}

bool CanberraPlayer::setUp() {
    // Nothing to play, no library to load.
    QFile source(m_resource);
    if (!source.open(QIODevice::ReadOnly)) {
        warnOnce(m_resource + QStringLiteral(": ") + source.errorString());
        return false;
    }
    const QByteArray sound = source.readAll();
    m_copy.setFileTemplate(QDir::tempPath() + QStringLiteral("/TorvanelClient-alarm-XXXXXX.wav"));
    if (!m_copy.open() || m_copy.write(sound) != sound.size() || !m_copy.flush()) {
        // A copy that could not be made has no name yet; the folder tells where to look.
        warnOnce(QDir::toNativeSeparators(QFileInfo(m_copy.fileTemplate()).absoluteFilePath()) +
                 QStringLiteral(": ") + m_copy.errorString());
        return false;
    }

    m_library.setFileNameAndVersion(m_libraryName, 0);
    if (!m_library.load()) {
        warnOnce(m_library.errorString());
        return false;
    }
    QString missing;
    if (!resolve(m_library, m_ca.create, "ca_context_create", missing) ||
        !resolve(m_library, m_ca.destroy, "ca_context_destroy", missing) ||
        !resolve(m_library, m_ca.changeProps, "ca_context_change_props", missing) ||
        !resolve(m_library, m_ca.play, "ca_context_play", missing) ||
        !resolve(m_library, m_ca.cancel, "ca_context_cancel", missing) ||
        !resolve(m_library, m_ca.strerror, "ca_strerror", missing)) {
        warnOnce(missing);
        return false;
    }
    const int created = m_ca.create(&m_context);
    if (created != CA_SUCCESS) {
        m_context = nullptr;
        warnOnce(QString::fromUtf8(m_ca.strerror(created)));
        return false;
    }
    // An alarm is no courtesy sound: it sounds even where the desktop's event sounds are off.
    m_ca.changeProps(m_context, CA_PROP_CANBERRA_ENABLE, "1", nullptr);
    return true;
}

void CanberraPlayer::warnOnce(const QString& why) {
    if (m_warned)
        return;
    m_warned = true;
    qWarning().noquote() << "Alarm sound not played:" << why;
}

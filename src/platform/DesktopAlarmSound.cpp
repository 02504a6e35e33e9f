#include "platform/DesktopAlarmSound.h"

#ifndef Q_OS_WIN
#include "platform/CanberraPlayer.h"

#include <QThread>
#endif

#ifdef Q_OS_WIN

DesktopAlarmSound::DesktopAlarmSound(const QString& resource) {
    Q_UNUSED(resource)
}
DesktopAlarmSound::~DesktopAlarmSound() = default;
void DesktopAlarmSound::play() {}

#else

DesktopAlarmSound::DesktopAlarmSound(const QString& resource) : m_resource(resource) {}

DesktopAlarmSound::~DesktopAlarmSound() {
    if (!m_thread)
        return;
    // The player goes on its own thread as that thread ends, so its sound ends with it.
    m_thread->quit();
    m_thread->wait();
}

void DesktopAlarmSound::play() {
    // No thread, no player until the first alarm: a client that never alarms pays nothing.
    if (!m_thread) {
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(QStringLiteral("alarm sound"));
        m_player = new CanberraPlayer(m_resource);
        m_player->moveToThread(m_thread.get());
        QObject::connect(m_thread.get(), &QThread::finished, m_player, &QObject::deleteLater);
        m_thread->start();
    }
    m_player->request();
}

#endif

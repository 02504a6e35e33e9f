#pragma once

#include "core/services/AlarmSound.h"

#include <QString>
#include <memory>

class QThread;
class CanberraPlayer;

// Windows: nothing; its message boxes sound themselves.
// Elsewhere: our own alarm signal through the desktop's event-sound library, loaded when the
// first alarm sounds, so that a client that never alarms never pays for it. Loading it and
// playing happen on a thread of their own; a missing library, sound file or device is written
// to the log once, and the alarm prompt opens as it would without a sound.
class DesktopAlarmSound final : public AlarmSound {
public:
    // `resource` is the sound file, ours unless a test hands in another.
    explicit DesktopAlarmSound(const QString& resource = QStringLiteral(":/alarm.wav"));
    ~DesktopAlarmSound() override;
    void play() override;

#ifndef Q_OS_WIN
private:
    QString m_resource;
    std::unique_ptr<QThread> m_thread;
    CanberraPlayer* m_player = nullptr; // lives on m_thread and is deleted as it ends
#endif
};

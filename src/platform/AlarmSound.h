#pragma once

#include <QString>
#include <memory>

class QThread;
class CanberraPlayer;

// The sound of a watch prompt, started as the prompt opens. Message boxes are silent on most
// Linux desktops, and an operator away from the screen must still hear an alarm.
class AlarmSound {
public:
    virtual ~AlarmSound() = default;
    // Starts the sound and returns at once: a missing or hanging sound device must never hold
    // up the prompt.
    virtual void play() = 0;
};

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

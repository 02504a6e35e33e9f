#pragma once

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
// first alarm sounds, so that a client that never alarms never pays for it.
class DesktopAlarmSound final : public AlarmSound {
public:
    DesktopAlarmSound();
    ~DesktopAlarmSound() override;
    void play() override;
};

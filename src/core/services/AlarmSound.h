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

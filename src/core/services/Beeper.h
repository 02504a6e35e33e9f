#pragma once

// The short tones of the client (the watch tick's "still busy" beep, the quit beep).
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

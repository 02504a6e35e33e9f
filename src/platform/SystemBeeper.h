#pragma once

#include "core/services/Beeper.h"

// Desktops give us one system bell without pitch or length; Windows plays the real tone.
class SystemBeeper final : public Beeper {
public:
    void beep(int frequencyHz, int durationMs) override;
};

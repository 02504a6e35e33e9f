#pragma once

#include "core/Client.h"

// The window as the core sees it, counting what it was told to do.
struct FakeWindow final : ClientWindow {
    QRect outer{0, 0, 600, 200};
    int hidden = 0;
    int broughtForward = 0;
    int ended = 0;

    void alertBegin() override {}
    void alertEnd() override {}
    QRect placement() const override { return outer; }
    void commitOpenEditor() override {}
    void bringForward() override { ++broughtForward; }
    void HideToTray() override { ++hidden; }
    void endProgram() override { ++ended; }
};

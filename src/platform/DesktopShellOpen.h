#pragma once

#include "core/services/ShellOpen.h"

// Linux desktops answer through xdg-open's exit code: the launcher itself always starts, so
// only its answer tells whether anything could open the file. Elsewhere, and without
// xdg-open, Qt asks the desktop directly.
class DesktopShellOpen final : public ShellOpen {
public:
    void open(const QString& path, std::function<void(Result)> done) override;
};

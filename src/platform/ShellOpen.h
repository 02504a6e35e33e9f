#pragma once

#include <QString>
#include <functional>

// Opens a document in the application the desktop associates with its type.
class ShellOpen {
public:
    enum class Result { Opened, NoApplication, Failed };
    virtual ~ShellOpen() = default;
    // Reports how it went through `done`, at once or once the desktop has answered; the
    // window is not held up meanwhile.
    virtual void open(const QString& path, std::function<void(Result)> done) = 0;
};

// Linux desktops answer through xdg-open's exit code: the launcher itself always starts, so
// only its answer tells whether anything could open the file. Elsewhere, and without
// xdg-open, Qt asks the desktop directly.
class DesktopShellOpen final : public ShellOpen {
public:
    void open(const QString& path, std::function<void(Result)> done) override;
};

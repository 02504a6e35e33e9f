#pragma once

#include <QString>

// Opens a document in the application the desktop associates with its type.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    // False when the desktop found nothing to open the document with.
    virtual bool open(const QString& path) = 0;
};

class DesktopShellOpen final : public ShellOpen {
public:
    bool open(const QString& path) override;
};

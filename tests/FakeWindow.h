#pragma once

#include "core/Client.h"

#include <QFile>
#include <QStringList>

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

// A record file's lines, none when it cannot be read.
inline QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

#pragma once

#include <QWidget>

// Shown as the operator left it (a minimised window as it was before), on top, with the
// keyboard: how every window of the client comes forward.
inline void bringToFront(QWidget& window) {
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}

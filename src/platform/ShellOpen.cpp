#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopShellOpen::open(const QString& path) {
    // A file URL carries blanks and other special characters of the path safely.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

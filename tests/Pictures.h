#pragma once

#include <QDir>
#include <QImage>
#include <QtGlobal>

// Whether a picture is drawn as the one kept in tests/pictures, pixel for pixel. The kept
// ones come from Debian 12's fonts and renderers, which CI has too. A picture that differs is
// left in the working folder as <name>-now.png to look at; TORVANEL_UPDATE_PICTURES=1 keeps
// what is drawn now instead, for a change of look that is meant.
inline bool drawnAsKept(const QImage& picture, const QString& name) {
    const QString kept = QStringLiteral(QT_TESTCASE_SOURCEDIR "/pictures/") + name + ".png";
    const QImage now = picture.convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("TORVANEL_UPDATE_PICTURES"))
        return QDir().mkpath(QStringLiteral(QT_TESTCASE_SOURCEDIR "/pictures")) && now.save(kept);
    if (QImage(kept).convertToFormat(QImage::Format_RGB32) == now)
        return true;
    const QString looked = QDir::current().absoluteFilePath(name + "-now.png");
    now.save(looked);
    qWarning("%s is drawn otherwise than %s", qPrintable(looked), qPrintable(kept));
    return false;
}

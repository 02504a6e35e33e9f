#pragma once

#include <QByteArrayView>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

// Wire text made readable for the log: Windows-1252 decoded, LF and CR shown as \n and \r,
// other control bytes as \xHH, so a frame stays on one log line.
QString printable(QByteArrayView bytes);

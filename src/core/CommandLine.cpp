#include "core/CommandLine.h"

#include <QStringList>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString commandLineText(int argc, char** argv) {
#ifdef Q_OS_WIN
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return commandLineTail(QString::fromWCharArray(GetCommandLineW()));
#else
    QStringList parts;
    for (int i = 1; i < argc; ++i)
        parts.append(QString::fromLocal8Bit(argv[i]));
    return parts.join(QLatin1Char(' '));
#endif
}

QString commandLineTail(const QString& raw) {
    qsizetype i = 0;
    bool quoted = false;
    for (; i < raw.size() && (raw[i] > u' ' || quoted); ++i)
        if (raw[i] == u'"')
            quoted = !quoted;
    while (i < raw.size() && raw[i] <= u' ')
        ++i;
    return raw.mid(i);
}

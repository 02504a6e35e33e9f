#include "platform/SystemBeeper.h"

#include <QApplication>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

void SystemBeeper::beep(int frequencyHz, int durationMs) {
#ifdef Q_OS_WIN
    ::Beep(DWORD(frequencyHz), DWORD(durationMs));
#else
    Q_UNUSED(frequencyHz)
    Q_UNUSED(durationMs)
    QApplication::beep();
#endif
}

#include "AlarmSound.h"

#include <QApplication>

DesktopAlarmSound::DesktopAlarmSound() = default;
DesktopAlarmSound::~DesktopAlarmSound() = default;

void DesktopAlarmSound::play() {
#ifndef Q_OS_WIN
    QApplication::beep();
#endif
}

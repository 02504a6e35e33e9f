#pragma once

#include "SimState.h"

#include <QByteArray>

// The answer to a heartbeat for the current state. An alarm wins over the busy list: the
// client reads a busy list as "no alarm", so sending it would withdraw the alarm.
QByteArray heartbeatAnswer(const SimState& state);

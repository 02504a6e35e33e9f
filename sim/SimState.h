#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// What the operator of the simulator has set up: the same for every connected client.
struct SimState {
    // Extension in alarm; empty when none.
    QByteArray alarm;
    // Set when an alarm was cleared: a client keeps an alarm until an answer withdraws it,
    // and an empty answer does not.
    bool alarmWithdrawn = false;
    // Busy extensions; nothing when the simulator reports no busy list at all.
    std::optional<QList<QByteArray>> busy;
    // Answer heartbeats with the lower-case tag: the installation's alarm is switched off.
    bool alarmOff = false;
    // Leave heartbeats unanswered, so the client believes the server has gone silent.
    bool silent = false;
    // Leave table requests unanswered.
    bool tableOff = false;
    // Hold each heartbeat answer, and each table asked for, back this many milliseconds.
    int heartbeatDelayMs = 0;
    int tableDelayMs = 0;
    // Answer every heartbeat twice.
    bool repeat = false;
};

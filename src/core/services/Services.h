#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class Prompts;
class Beeper;
class UserStore;
class ShellOpen;
class AlarmSound;

// What the client needs from the desktop, and how fast its clocks run; tests hand in fakes
// and short intervals.
struct Services {
    Prompts& prompts;
    Beeper& beeper;
    UserStore& store;
    ShellOpen& shell;
    AlarmSound& sound;
    // Where the settings file lives: the program's own folder, never the working folder;
    // for an installed client, the config folders (the user's first, then the system's).
    QString programDir;
    QStringList configDirs;
    // Where the alarm journal and the change log go: the user's data folder.
    QString dataDir;
    // The watch tick, the table request after connecting, and how long a connection attempt
    // may take: less than a tick, so that every tick finds the last attempt settled.
    int watchIntervalMs = 5000;
    int tableRequestIntervalMs = 500;
    int connectTimeoutMs = 4000;
    // The local time of the records and of the acknowledgement times.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Who works at this desktop, for the change log.
    QString login = QStringLiteral("?");
};

#pragma once

#include "platform/AlarmSound.h"
#include "platform/Beeper.h"
#include "platform/Prompts.h"
#include "platform/Services.h"
#include "platform/ShellOpen.h"
#include "platform/UserStore.h"

#include <QHash>
#include <QList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>

// Records every box and answers from a script. `whileOpen` runs "while the box is open",
// which is how re-entrant events (a tick, a frame, a click during a prompt) are reproduced.
class ScriptedPrompts final : public Prompts {
public:
    struct Box {
        QString text;
        QString caption;
        unsigned flags;
    };
    QList<Box> shown;
    QList<int> answers; // taken from the front; mb::IdOk when exhausted
    std::function<void(const Box&)> whileOpen;

    int ask(const QString& text, const QString& caption, unsigned flags) override {
        shown.append({text, caption, flags});
        if (whileOpen)
            whileOpen(shown.last());
        return answers.isEmpty() ? mb::IdOk : answers.takeFirst();
    }
};

// Counts the alarm sounds started.
class FakeAlarmSound final : public AlarmSound {
public:
    int played = 0;
    void play() override { ++played; }
};

class FakeBeeper final : public Beeper {
public:
    QList<QPair<int, int>> beeps;
    void beep(int frequencyHz, int durationMs) override { beeps.append({frequencyHz, durationMs}); }
};

// Values keep their type, as in the registry: a number where a text is asked for is a failure,
// a text of digits where a number is asked for counts. Only the raw values are held here; the
// typed reading is UserStore's own, the same as the real store's.
class MemoryUserStore final : public UserStore {
public:
    QHash<QString, QVariant> values; // "key/name" -> value
    bool failWrites = false;
    int writes = 0; // refused ones included

protected:
    std::optional<QVariant> read(const QString& key, const QString& name) override {
        const QVariant v = values.value(key + '/' + name);
        if (!v.isValid())
            return std::nullopt;
        return v;
    }
    bool write(const QString& key, const QString& name, const QVariant& value) override {
        ++writes;
        if (failWrites)
            return false;
        values.insert(key + '/' + name, value);
        return true;
    }
};

// Records what the desktop was asked to open; `succeed` false is a desktop that has no
// application for the file type.
class FakeShellOpen final : public ShellOpen {
public:
    QStringList opened;
    bool succeed = true;
    void open(const QString& path, std::function<void(Result)> done) override {
        opened.append(path);
        done(succeed ? Result::Opened : Result::NoApplication);
    }
};

// The settings file goes to a fresh temporary folder that stands for the program's folder.
struct FakeServices {
    ScriptedPrompts prompts;
    FakeBeeper beeper;
    MemoryUserStore store;
    FakeShellOpen shell;
    FakeAlarmSound sound;
    QTemporaryDir programDir;
    QTemporaryDir dataDir;
    // Clocks stay still unless a test asks otherwise: it drives the ticks itself.
    int watchIntervalMs = 3600 * 1000;
    int tableRequestIntervalMs = 10;
    Services services() {
        return Services{
            prompts,           beeper, store,          shell,           sound,
            programDir.path(), {},     dataDir.path(), watchIntervalMs, tableRequestIntervalMs};
    }
};

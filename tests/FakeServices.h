#pragma once

#include "core/services/AlarmSound.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"
#include "core/services/Services.h"
#include "core/services/ShellOpen.h"
#include "core/services/UserStore.h"

#include <QHash>
#include <QList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>

// Records every box and answers from a script; `whileOpen` acts while the box is open.
class ScriptedPrompts final : public Prompts {
public:
    struct Box {
        QString text;
        QString caption;
        unsigned flags;
        QString details;
    };
    QList<Box> shown;
    QList<int> answers; // taken from the front; mb::IdOk when exhausted
    std::function<void(const Box&)> whileOpen;

    QStringList texts() const {
        QStringList t;
        for (const Box& box : shown)
            t << box.text;
        return t;
    }
    int ask(const QString& text, const QString& caption, unsigned flags,
            const QString& details = {}) override {
        shown.append({text, caption, flags, details});
        if (whileOpen)
            whileOpen(shown.last());
        return answers.isEmpty() ? mb::IdOk : answers.takeFirst();
    }
};

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

// Raw values keyed "key/name", typed as the registry types them; UserStore reads them.
class MemoryUserStore final : public UserStore {
public:
    QHash<QString, QVariant> values;
    bool failWrites = false;
    int writes = 0;               // refused ones included
    QHash<QString, int> writesTo; // by "key/name", refused ones included

protected:
    std::optional<QVariant> read(const QString& key, const QString& name) override {
        const QVariant v = values.value(key + '/' + name);
        return v.isValid() ? std::optional<QVariant>(v) : std::nullopt;
    }
    bool write(const QString& key, const QString& name, const QVariant& value) override {
        ++writes;
        ++writesTo[key + '/' + name];
        if (!failWrites)
            values.insert(key + '/' + name, value);
        return !failWrites;
    }
};

class FakeShellOpen final : public ShellOpen {
public:
    QStringList opened;
    Result result = Result::Opened;
    void open(const QString& path, std::function<void(Result)> done) override {
        opened.append(path);
        done(result);
    }
};

// Fresh program and data folders; the watch's ticks and the clock move only when the test
// moves them.
struct FakeServices {
    ScriptedPrompts prompts;
    FakeBeeper beeper;
    MemoryUserStore store;
    FakeShellOpen shell;
    FakeAlarmSound sound;
    QTemporaryDir programDir;
    QTemporaryDir dataDir;
    int watchIntervalMs = 3600 * 1000;
    QDateTime clock{QDate(2026, 12, 7), QTime(21, 30)};
    Services services() {
        Services s{prompts,           beeper, store,          shell,           sound,
                   programDir.path(), {},     dataDir.path(), watchIntervalMs, 10};
        s.now = [this] { return clock; };
        s.login = QStringLiteral("bediener");
        return s;
    }
};

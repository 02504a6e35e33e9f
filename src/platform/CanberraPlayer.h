#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>
#include <QTemporaryFile>
#include <atomic>
#include <canberra.h>

// Plays our alarm file through libcanberra, on the thread this object lives in. The library,
// its sound backends and the device may be missing or slow; that costs this thread's time,
// never the caller's. The library is loaded at the first sound, so a client that never
// alarms never maps it.
class CanberraPlayer final : public QObject {
    Q_OBJECT
public:
    // `library` is libcanberra's name without "lib" and its version, 0.
    explicit CanberraPlayer(QString resource, QString library = QStringLiteral("canberra"));
    ~CanberraPlayer() override;

    // Any thread. Asks for the sound; asks made while one still waits join it, so that a slow
    // or stuck device never gathers a queue of alarms to play.
    void request();

private:
    void playNow();
    bool setUp();
    void warnOnce(const QString& why);

    struct Api {
        decltype(&ca_context_create) create = nullptr;
        decltype(&ca_context_destroy) destroy = nullptr;
        decltype(&ca_context_change_props) changeProps = nullptr;
        decltype(&ca_context_play) play = nullptr;
        decltype(&ca_context_cancel) cancel = nullptr;
        decltype(&ca_strerror) strerror = nullptr;
    };

    const QString m_resource;
    const QString m_libraryName;
    std::atomic_bool m_pending{false};
    enum class State { Untried, Ready, Broken } m_state = State::Untried;
    bool m_warned = false;
    QLibrary m_library{this};
    Api m_ca;
    ca_context* m_context = nullptr;
    // libcanberra reads a file by name, and a Qt resource has none: a copy of our own that
    // goes with this object.
    QTemporaryFile m_copy{this};
};

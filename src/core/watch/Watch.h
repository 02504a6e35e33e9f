#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class AlarmSound;
class Beeper;
class Prompts;
class ServerWire;
class UserStore;
struct HeartbeatAnswer;
struct Services;

// What the watch needs from the window: to come forward with the grid red while a watch
// prompt is open, and to go back to normal after it.
class WatchWindow {
public:
    virtual void alertBegin() = 0;
    virtual void alertEnd() = 0;

protected:
    ~WatchWindow() = default;
};

// The watch: every tick of `Timer1` writes a changed busy list to the user store, reopens a
// link that is down, raises the silent-server prompt when the liveness credit has run down to
// 0, spends one unit of credit and sends the heartbeat. Heartbeat answers earn credit up to
// four units, so a server that falls silent is reported within five ticks however much it
// said before; a table sets the credit to 1.
//
// The heartbeat goes out before any prompt of the tick can open: an operator who takes his
// time over a box must not delay it into the next tick and make a live server look silent.
// For the same reason a standing alarm is not shown by the tick itself while the link is up,
// but on the next answer that still reports it; the tick after shows it if no answer came.
//
// An alarm reported between ticks is shown at once, from a posted event: the answer arrives
// inside the socket's read handler, which must not sit under a modal box while further
// answers wait behind it. Prompts are modal and the event loop keeps running under them; a
// tick that finds one open still keeps the link and the heartbeat going, and beeps instead of
// stacking a second prompt. An alarm raised while a prompt was open shows when it closes.
//
// Answers only remember the busy list; the store syncs a file or the registry with every
// write, which the tick can afford and the read handler, under a flood of answers, cannot.
class Watch : public QObject {
    Q_OBJECT
public:
    Watch(ServerWire& link, const Services& services, WatchWindow& window,
          QObject* parent = nullptr);

    // The tick; Timer1 runs it from construction on.
    void Timer1Timer();

    // What the server's frames do to the watch.
    void tableArrived();
    void heartbeatAnswered(const HeartbeatAnswer& answer);

    // After an unhandled error the program is ending: ticks only beep from now on.
    void holdBusy();

    qint32 watchCount() const { return WatchCount; }
    const QByteArray& alarmNst() const { return AlarmNst; }
    const QString& busyList() const { return BusyList; }
    // A watch prompt is open (or a tick is running).
    bool isBusy() const { return WatchBusy; }
    // From a silent-server prompt until the server's next sign of life.
    bool isServerSilent() const { return m_silent; }
    bool isAlarmOff() const { return m_alarmOff; }
    const QTimer& timer1() const { return Timer1; }

signals:
    // The server named an extension in alarm (a new one, or another than before).
    void alarmRaised(const QString& nst);
    // The operator closed the alarm prompt after it had stood open so long.
    void alarmAcknowledged(const QString& nst, qint64 secondsOpen);
    // The server withdrew the alarm.
    void alarmEnded(const QString& nst);
    void serverSilent();
    void serverAnswering();
    // The server's alarm switch ("ALARM = AUS") changed.
    void alarmOffChanged(bool off);

private:
    void silentServerPrompt();
    void alarmPrompt();
    // Shows the alarm raised since the last prompt, unless a prompt is open.
    void showRaisedAlarm();
    void storeBusyList();
    void prompt(const QString& text, unsigned flags);
    void serverAlive();

    ServerWire& m_link;
    Prompts& m_prompts;
    Beeper& m_beeper;
    AlarmSound& m_sound;
    UserStore& m_store;
    std::function<QDateTime()> m_now;
    WatchWindow& m_window;

    qint32 WatchCount = 4;
    bool WatchBusy = false;
    bool m_held = false;
    bool m_silent = false;
    bool m_alarmOff = false;
    // The standing alarm has not been on screen yet.
    bool m_alarmUnseen = false;
    // A tick left the standing alarm to the answer to its heartbeat.
    bool m_repeatDue = false;
    QByteArray AlarmNst;
    QString BusyList;
    QString WatchMessage;
    std::optional<QByteArray> m_busyLatest; // as the server last sent it
    std::optional<QByteArray> m_busyStored; // as it last reached the store
    QTimer Timer1;
};

// The credit a silent-server prompt restores, and the most that answers can earn.
inline constexpr qint32 kMaxWatchCredit = 4;

// One more unit of credit, up to kMaxWatchCredit: answers nobody asked for must not buy the
// server a long silence.
qint32 creditAfterAnswer(qint32 credit);

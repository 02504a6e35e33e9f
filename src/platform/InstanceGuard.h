#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// One running client per command-line text. The guard is a lock file in the user's runtime
// folder (on Windows a named mutex in the session's namespace); its name comes from a hash of
// "TorvanelClient" + text, so a text of any length or content (slashes, blanks, umlauts) makes a
// valid, distinct name.
// Texts are compared exactly: "a" and "A", or "A" and "A " are different instances.
//
// The running instance also listens on a local socket of the same name beside the lock
// (on Windows a pipe named for the user and session), so that a refused start can ask it to
// come to the front; each user's instances hear only that user's starts.
class InstanceGuard : public QObject {
    Q_OBJECT
public:
    explicit InstanceGuard(const QString& commandLineText, QObject* parent = nullptr);
    ~InstanceGuard() override;

    // True when this process is now the instance for the text. Holds until destruction.
    bool tryAcquire();
    // tryAcquire() in its two steps, for a start with other work to do while the lock file is
    // written through to the disk: tryLock() may run on any thread, listen() runs on the
    // guard's own once tryLock() has said true. Until then a refused start finds nobody to
    // bring forward, and is refused all the same.
    bool tryLock();
    void listen();
    // Asks the instance that holds the text to come to the front; false if none answered.
    bool askRunningToActivate(int timeoutMs = 1000) const;

    QString name() const { return m_name; }
    static QString nameFor(const QString& commandLineText);

signals:
    // Another start with the same text was refused and would like to see us.
    void activationRequested();

private:
    QString m_name;
#ifdef Q_OS_WIN
    void* m_mutex = nullptr; // a HANDLE, closed with the guard
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
    // The lock is ours, and with it the name to listen on.
    bool m_holdsName = false;
    // Our child, so that the peers it hands out are ours too until they have gone.
    QLocalServer m_server{this};
};

#pragma once

#include <QObject>
#include <memory>

// The desktop's ways of ending us that never pass the window: SIGTERM (logout, shutdown, the
// service manager, a package upgrade), SIGINT and SIGHUP; on Windows the end of the session
// (WM_ENDSESSION). Each becomes endRequested(): a signal from the event loop, since a signal
// handler may do next to nothing; the session's end while its message is handled, since
// Windows may end the process as soon as it is answered.
//
// A signal the starter set to be ignored (nohup, a background job) stays ignored. One at a
// time per process: a signal handler has only one place to write to.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;

signals:
    void endRequested();

private:
    struct Source;
    std::unique_ptr<Source> m_source;
};

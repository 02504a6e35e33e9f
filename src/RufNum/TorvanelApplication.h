#pragma once

#include <QApplication>
#include <functional>

// The application object. An exception that escapes any event handler lands here instead of
// tearing the process down, and goes to the handler the main window installs.
//
// A quit from the platform (the session manager's end of the session) becomes
// quitRequested() once somebody listens: Qt would close every window first, and ours takes
// that for the close box, saves with its questions and stays.
class TorvanelApplication : public QApplication {
    Q_OBJECT
public:
    using ExceptionHandler = std::function<void(const QString& message)>;

    TorvanelApplication(int& argc, char** argv);

    void setExceptionHandler(ExceptionHandler handler) { m_handler = std::move(handler); }
    bool notify(QObject* receiver, QEvent* event) override;

signals:
    void quitRequested();

protected:
    bool event(QEvent* event) override;

private:
    void handle(const QString& message);

    ExceptionHandler m_handler;
    bool m_handling = false;
};

#include "RufNum/TorvanelApplication.h"

#include <QMetaMethod>
#include <exception>

TorvanelApplication::TorvanelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TorvanelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        handle(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        handle(QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}

bool TorvanelApplication::event(QEvent* event) {
    if (event->type() == QEvent::Quit &&
        isSignalConnected(QMetaMethod::fromSignal(&TorvanelApplication::quitRequested))) {
        emit quitRequested();
        return true;
    }
    return QApplication::event(event);
}

void TorvanelApplication::handle(const QString& message) {
    // The handler ends the program; an error raised while it shows its box is the same end.
    if (m_handling)
        return;
    m_handling = true;
    if (m_handler)
        m_handler(message);
    else
        exit(0);
    m_handling = false;
}

#include "RufNum/TorvanelApplication.h"

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

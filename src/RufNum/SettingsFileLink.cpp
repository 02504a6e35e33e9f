#include "RufNum/RufNum.h"

#include "platform/Prompts.h"
#include "platform/ShellOpen.h"

#include <QFileInfo>

// The headline opens the settings file in the desktop's editor for it. The desktop only
// says yes or no, so we look at the file first to tell the operator why it did not open.

namespace {

QString whyNotOpened(const QString& path, ShellOpen& shell) {
    const QFileInfo file(path);
    if (!QFileInfo(file.absolutePath()).isDir())
        return QStringLiteral("Der Pfad zur Datei wurde nicht gefunden !");
    if (!file.exists())
        return QStringLiteral("Die angegebene Datei wurde nicht gefunden !");
    if (!file.isFile())
        return QStringLiteral("Datei konnte nicht geöffnet werden !");
    if (!file.isReadable())
        return QStringLiteral("Dateizugriff wird vom Betriebssystem verweigert !");
    if (!shell.open(path))
        return QStringLiteral("Der angegebene Dateityp ist auf Ihrem Computer keiner ") +
               QStringLiteral("Anwendung zugeordnet !");
    return {};
}

} // namespace

void TNummernForm::NummernTextClick() {
    const QString message = whyNotOpened(m_settings.iniFilePath(), m_services.shell);
    if (!message.isEmpty())
        m_services.prompts.ask(message, QStringLiteral("Fehler"), mb::Ok | mb::IconExclamation);
}

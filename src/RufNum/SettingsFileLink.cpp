#include "RufNum/RufNum.h"

#include "core/services/Prompts.h"
#include "core/services/ShellOpen.h"

#include <QFileInfo>
#include <QPointer>

// The headline opens the settings file in the desktop's editor for it. The desktop only
// says whether it could, so we look at the file first to tell the operator why it did not.

namespace {

QString whyNotOpenable(const QString& path) {
    const QFileInfo file(path);
    if (!QFileInfo(file.absolutePath()).isDir())
        return QStringLiteral("Der Pfad zur Datei wurde nicht gefunden !");
    if (!file.exists())
        return QStringLiteral("Die angegebene Datei wurde nicht gefunden !");
    if (!file.isFile())
        return QStringLiteral("Datei konnte nicht geöffnet werden !");
    if (!file.isReadable())
        return QStringLiteral("Dateizugriff wird vom Betriebssystem verweigert !");
    return {};
}

QString whyNotOpened(ShellOpen::Result result) {
    switch (result) {
    case ShellOpen::Result::Opened:
        return {};
    case ShellOpen::Result::NoApplication:
        return QStringLiteral("Der angegebene Dateityp ist auf Ihrem Computer keiner ") +
               QStringLiteral("Anwendung zugeordnet !");
    case ShellOpen::Result::Failed:
        break;
    }
    return QStringLiteral("Datei konnte nicht geöffnet werden !");
}

} // namespace

void TNummernForm::NummernTextClick() {
    const auto tell = [this](const QString& message) {
        if (!message.isEmpty())
            m_services.prompts.ask(message, QStringLiteral("Fehler"), mb::Ok | mb::IconExclamation);
    };
    const QString path = m_client.settings().iniFilePath();
    if (const QString why = whyNotOpenable(path); !why.isEmpty())
        return tell(why);
    m_services.shell.open(path, [self = QPointer(this), tell](ShellOpen::Result result) {
        if (self)
            tell(whyNotOpened(result));
    });
}

#include "RufNum/ClientRun.h"
#include "RufNum/TorvanelApplication.h"
#include "core/CommandLine.h"
#include "core/services/AlarmSound.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"
#include "core/services/Services.h"
#include "core/services/ShellOpen.h"
#include "platform/DesktopAlarmSound.h"
#include "platform/DesktopShellOpen.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/SettingsUserStore.h"
#include "platform/SystemBeeper.h"

#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

namespace {

// Linux sets USER, Windows USERNAME; some session managers only LOGNAME.
QString loginName() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString login = qEnvironmentVariable(name);
        if (!login.isEmpty())
            return login;
    }
    return QStringLiteral("?");
}

} // namespace

int main(int argc, char** argv) {
    const QString text = commandLineText(argc, argv);
    // The command line belongs to the instance text; Qt must not read options out of it.
    static int qtArgc = 1;
    TorvanelApplication app(qtArgc, argv);
    app.setApplicationName(QStringLiteral("TorvanelClient"));
    // Standard buttons read "OK" and "Abbrechen", as on a German workstation.
    QTranslator german;
    if (german.load(QStringLiteral("qtbase_de"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&german);
    MessageBoxPrompts prompts;
    SystemBeeper beeper;
    SettingsUserStore store;
    DesktopShellOpen shell;
    DesktopAlarmSound sound;
    Services services{prompts,
                      beeper,
                      store,
                      shell,
                      sound,
                      QCoreApplication::applicationDirPath(),
                      QStandardPaths::standardLocations(QStandardPaths::AppConfigLocation),
                      QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)};
    services.login = loginName();
    return runClient(app, text, services);
}

#include "RufNum/RufNum.h"
#include "app/CommandLine.h"
#include "app/TorvanelApplication.h"
#include "platform/Beeper.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"
#include "platform/ShellOpen.h"
#include "platform/SettingsUserStore.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace {

const QString kTitle = QStringLiteral("TorvanelClient");

void loadGermanButtons(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

} // namespace

int main(int argc, char** argv) {
    const QString text = commandLineText(argc, argv);
    // The command line belongs to the instance text; Qt must not read options out of it.
    static int qtArgc = 1;
    TorvanelApplication app(qtArgc, argv);
    loadGermanButtons(app);
    MessageBoxPrompts prompts;
    try {
        InstanceGuard guard(text);
        if (!guard.tryAcquire()) {
            guard.askRunningToActivate();
            prompts.ask(
                QStringLiteral(
                    "Das Programm ist bereits aktiv. Es kann nicht erneut gestartet werden !"),
                kTitle, mb::Ok);
            return 0;
        }
        app.setApplicationName(kTitle);
        // The window hides into the tray; only the quit command or an error ends the program.
        app.setQuitOnLastWindowClosed(false);

        SystemBeeper beeper;
        SettingsUserStore store;
        DesktopShellOpen shell;
        TNummernForm form(
            text, Services{prompts, beeper, store, shell, QCoreApplication::applicationDirPath()});
        form.FormCreate();
        // Leave the loop directly: quit() would first close every window, which for ours
        // means running the save routine a second time (and, when that save fails, raising
        // the error again and again instead of ending).
        QObject::connect(
            &form, &TNummernForm::terminateRequested, &app, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
        // A refused second start brings us forward, but a window the operator sent to the
        // tray stays there.
        QObject::connect(&guard, &InstanceGuard::activationRequested, &form, [&form] {
            if (!form.isVisible())
                return;
            form.raise();
            form.activateWindow();
        });
        form.show();
        app.exec();
        app.setExceptionHandler({});
    } catch (const std::exception& e) {
        prompts.ask(QString::fromLocal8Bit(e.what()), kTitle, mb::Ok | mb::IconHand);
    }
    return 0;
}

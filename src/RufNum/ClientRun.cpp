#include "RufNum/ClientRun.h"

#include "RufNum/RufNum.h"
#include "RufNum/TorvanelApplication.h"
#include "core/services/Prompts.h"
#include "platform/EndSignals.h"
#include "platform/InstanceGuard.h"

#include <QFontDatabase>
#include <future>

namespace {
const QString kTitle = QStringLiteral("TorvanelClient");
} // namespace

int runClient(TorvanelApplication& app, const QString& commandLineText, const Services& services) {
    try {
        InstanceGuard guard(commandLineText);
        // The lock file is written through to the disk, which can take longer than all the
        // rest of the start; meanwhile the fonts are looked up, which the window and the
        // refusal's message need alike.
        std::future<bool> locked =
            std::async(std::launch::async, [&guard] { return guard.tryLock(); });
        QFontDatabase::families();
        if (!locked.get()) {
            guard.askRunningToActivate();
            services.prompts.ask(
                QStringLiteral(
                    "Das Programm ist bereits aktiv. Es kann nicht erneut gestartet werden !"),
                kTitle, mb::Ok);
            return 0;
        }
        // The window hides into the tray; the program ends by the quit command, an error or
        // the desktop only.
        app.setQuitOnLastWindowClosed(false);
        // Before the window: a signal while it is built ends the run once the loop runs,
        // rather than the process without its end steps.
        EndSignals endSignals;

        TNummernForm form(commandLineText, services);
        form.FormCreate();
        // The desktop's ends run the quit's steps without its question. The session's
        // request to keep our data comes before its end, which another program may still
        // call off: the watch must not have gone then.
        Client& client = form.client();
        QObject::connect(&endSignals, &EndSignals::endRequested, &client, &Client::desktopEnds);
        QObject::connect(&app, &TorvanelApplication::quitRequested, &client, &Client::desktopEnds);
#ifndef QT_NO_SESSIONMANAGER
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &client,
                         &Client::desktopMayEnd);
#endif
        // Whatever else ends the loop still leaves the end line.
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &client, &Client::desktopEnds);
        // Leave the loop directly: quit() would first close every window, which for ours
        // means running the save routine a second time (and, when that save fails, raising
        // the error again and again instead of ending).
        QObject::connect(
            &form, &TNummernForm::terminateRequested, &app, [] { QCoreApplication::exit(); },
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
        // A second start is told to bring us forward only once there is a window to bring.
        guard.listen();
        app.exec();
        app.setExceptionHandler({});
    } catch (const std::exception& e) {
        services.prompts.ask(QString::fromLocal8Bit(e.what()), kTitle, mb::Ok | mb::IconHand);
    }
    return 0;
}

#include "platform/DesktopShellOpen.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void DesktopShellOpen::open(const QString& path, std::function<void(Result)> done) {
#ifndef Q_OS_WIN
    if (const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        !opener.isEmpty()) {
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished,
                         [process, done](int code, QProcess::ExitStatus how) {
                             // 3: no program for the file's type could be found.
                             done(how == QProcess::NormalExit && code == 0   ? Result::Opened
                                  : how == QProcess::NormalExit && code == 3 ? Result::NoApplication
                                                                             : Result::Failed);
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred,
                         [process, done](QProcess::ProcessError e) {
                             if (e != QProcess::FailedToStart)
                                 return;
                             done(Result::Failed);
                             process->deleteLater();
                         });
        process->start(opener, {path});
        return;
    }
#endif
    // A file URL carries blanks and other special characters of the path safely.
    done(QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? Result::Opened
                                                              : Result::NoApplication);
}

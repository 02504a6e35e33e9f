#include "RufNum/report/FileExport.h"

#include "core/services/Prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

FileExport::FileExport(Prompts& prompts)
    : m_prompts(prompts), m_choose([](QWidget* parent, const QString& caption,
                                      const QString& suggested, const QString& filter) {
          return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
      }),
      m_folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) {
    // Without one the dialog would open in the working folder, wherever the client started.
    if (!QFileInfo(m_folder).isDir())
        m_folder = QDir::homePath();
}

void FileExport::save(QWidget* parent, const QString& caption, const QString& suggestedName,
                      const QString& filter, const Write& write) {
    const QString path = m_choose(parent, caption, QDir(m_folder).filePath(suggestedName), filter);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly))
        why = file.errorString();
    else if (!write(file, why)) {
        file.cancelWriting();
        if (why.isEmpty())
            why = QStringLiteral("Unbekannter Fehler");
    } else if (!file.commit())
        why = file.errorString();
    if (why.isEmpty())
        return;
    m_prompts.ask(QStringLiteral("Die Datei kann nicht geschrieben werden:\n%1\n%2")
                      .arg(QDir::toNativeSeparators(path), why),
                  QStringLiteral("Alarmprotokoll"), mb::Ok | mb::IconExclamation);
}

void FileExport::save(QWidget* parent, const QString& caption, const QString& suggestedName,
                      const QString& filter, const QByteArray& bytes) {
    save(parent, caption, suggestedName, filter, [&bytes](QIODevice& file, QString& why) {
        if (file.write(bytes) == bytes.size())
            return true;
        why = file.errorString();
        return false;
    });
}

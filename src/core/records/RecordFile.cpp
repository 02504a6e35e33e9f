#include "core/records/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace {
QString older(const QString& path, int n) {
    return path + QLatin1Char('.') + QString::number(n);
}
} // namespace

RecordFile::RecordFile(QString path, qint64 limitBytes)
    : m_path(std::move(path)), m_limit(limitBytes) {}

bool RecordFile::append(const QByteArray& line, QString& why) {
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        why = QStringLiteral("Der Ordner kann nicht angelegt werden.");
        return false;
    }
    QFile file(m_path);
    if (file.exists() && file.size() + line.size() > m_limit) {
        QFile::remove(older(m_path, kOlderFiles));
        // A gap left by a file deleted by hand stays a gap; the order of the others holds.
        for (int n = kOlderFiles - 1; n >= 1; --n)
            QFile::rename(older(m_path, n), older(m_path, n + 1));
        if (!file.rename(older(m_path, 1))) {
            why = file.errorString();
            return false;
        }
        file.setFileName(m_path);
    }
    // Opened for each line and closed at once: every line is on disk before the next event.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size() &&
        file.flush())
        return true;
    why = file.errorString();
    return false;
}

QStringList recordFiles(const QString& path) {
    QStringList files;
    for (int n = RecordFile::kOlderFiles; n >= 1; --n)
        if (QFileInfo::exists(older(path, n)))
            files << older(path, n);
    if (QFileInfo::exists(path))
        files << path;
    return files;
}

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kTempInfix = QStringLiteral(".tmp-");
constexpr qsizetype kTempRandomLength = 6;

bool isTemporaryOf(const QString& name, const QString& targetName) {
    const QString prefix = targetName + kTempInfix;
    if (name.size() != prefix.size() + kTempRandomLength || !name.startsWith(prefix))
        return false;
    // QTemporaryFile fills the X with letters or digits; anything else there is not ours.
    const QStringView random = QStringView(name).mid(prefix.size());
    return std::all_of(random.begin(), random.end(),
                       [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); });
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The rename is only durable once the directory entry itself reached the disk.
void syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool AtomicFile::write(const QByteArray& content, QString* error) const {
    const QFileInfo target(m_path);
    QTemporaryFile temp(target.absoluteFilePath() + kTempInfix +
                        QString(kTempRandomLength, QLatin1Char('X')));
    if (!temp.open()) {
        *error = QStringLiteral("cannot create a temporary file beside %1: %2")
                     .arg(m_path, temp.errorString());
        return false;
    }
    // A temporary file is private to its owner; the table should read like any other file.
    temp.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
    if (temp.write(content) != content.size() || !temp.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(temp.fileName(), temp.errorString());
        return false;
    }
    if (::fsync(temp.handle()) != 0) {
        *error = QStringLiteral("cannot sync %1: %2").arg(temp.fileName(), systemError());
        return false;
    }
    if (m_beforeRename && !m_beforeRename(temp.fileName())) {
        temp.setAutoRemove(false);
        *error = QStringLiteral("write of %1 abandoned before the rename").arg(m_path);
        return false;
    }
    // rename() replaces the target in one step; QFile::rename refuses an existing target.
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        *error = QStringLiteral("cannot rename %1 to %2: %3")
                     .arg(temp.fileName(), m_path, systemError());
        return false;
    }
    temp.setAutoRemove(false);
    syncDirectory(target.absolutePath());
    return true;
}

QStringList AtomicFile::removeLeftovers() const {
    const QFileInfo target(m_path);
    const QDir dir = target.absoluteDir();
    QStringList removed;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (isTemporaryOf(name, target.fileName()) && QFile::remove(dir.filePath(name)))
            removed << dir.filePath(name);
    }
    return removed;
}

#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

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
    QTemporaryFile temp(target.absoluteFilePath() + QStringLiteral(".tmp-XXXXXX"));
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

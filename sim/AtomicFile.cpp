#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

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

bool syncFile(int fd) {
#ifdef Q_OS_WIN
    return ::_commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// Puts `from` in the place of `to` in one step, replacing it. On Windows the move writes
// through, so the new entry is on the disk when it returns; elsewhere the directory is synced
// after the rename, since the rename is only durable once the directory entry reached the
// disk. Both files must be closed: Windows refuses to move or replace a file that is open.
bool replace(const QString& from, const QString& to, QString* why) {
#ifdef Q_OS_WIN
    if (!::MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *why = qt_error_string(int(::GetLastError()));
        return false;
    }
#else
    // rename() replaces the target in one step; QFile::rename refuses an existing target.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        *why = systemError();
        return false;
    }
    const int fd =
        ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    return true;
}

} // namespace

bool AtomicFile::write(const QByteArray& content, QString* error) const {
    const QFileInfo target(m_path);
    QString tempName;
    {
        QTemporaryFile temp(target.absoluteFilePath() + kTempInfix +
                            QString(kTempRandomLength, QLatin1Char('X')));
        if (!temp.open()) {
            *error = QStringLiteral("cannot create a temporary file beside %1: %2")
                         .arg(m_path, temp.errorString());
            return false;
        }
        // A temporary file is private to its owner; the table should read like any other file.
        temp.setPermissions(target.exists() ? target.permissions()
                                            : QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther);
        if (temp.write(content) != content.size() || !temp.flush()) {
            *error = QStringLiteral("cannot write %1: %2").arg(temp.fileName(), temp.errorString());
            return false;
        }
        if (!syncFile(temp.handle())) {
            *error = QStringLiteral("cannot sync %1: %2").arg(temp.fileName(), systemError());
            return false;
        }
        // QTemporaryFile::close() keeps the file open; only its end closes it, and the file
        // must be closed to be renamed on Windows. From here on removing it is ours to do.
        temp.setAutoRemove(false);
        tempName = temp.fileName();
    }
    if (m_beforeRename && !m_beforeRename(tempName)) {
        *error = QStringLiteral("write of %1 abandoned before the rename").arg(m_path);
        return false;
    }
    QString why;
    if (!replace(tempName, target.absoluteFilePath(), &why)) {
        QFile::remove(tempName);
        *error = QStringLiteral("cannot rename %1 to %2: %3").arg(tempName, m_path, why);
        return false;
    }
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

#include "core/records/RecordFile.h"

#include "core/records/RecordLines.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace {

// Most file systems take 255 bytes for a name; a long text keeps its start and a digest.
constexpr int kNameLimit = 120;

QString older(const QString& path, int n) {
    return path + QLatin1Char('.') + QString::number(n);
}

} // namespace

RecordFile::RecordFile(QString path, QString name, qint64 limitBytes)
    : m_path(std::move(path)), m_name(std::move(name)), m_limit(limitBytes) {}

QString RecordFile::record(const QDateTime& at, const QString& text) {
    QString why;
    if (append(recordLine(at, text), why) || std::exchange(m_failureTold, true))
        return {};
    return QStringLiteral("%1 kann nicht geschrieben werden:\n%2\n%3")
        .arg(m_name, QDir::toNativeSeparators(m_path), why);
}

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

QString recordPath(const QString& dataDir, const QString& kind, const QString& commandLineText) {
    QString name;
    for (const QChar c : commandLineText) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|%").contains(c))
            name += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            name += c;
    }
    if (name.toUtf8().size() > kNameLimit) {
        const QByteArray digest =
            QCryptographicHash::hash(commandLineText.toUtf8(), QCryptographicHash::Sha256);
        name.truncate(kNameLimit / 2);
        if (name.back().isHighSurrogate())
            name.chop(1);
        name += QLatin1Char('~') + QString::fromLatin1(digest.toHex().left(16));
    }
    return dataDir + QLatin1Char('/') + kind + name + QStringLiteral(".txt");
}

#include "core/records/RecordLines.h"

#include "core/records/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {
const QString kStampForm = QStringLiteral("yyyy-MM-dd hh:mm:ss");
constexpr int kStampLength = 19;
constexpr int kTextAt = kStampLength + 2;
} // namespace

RecordLine parseRecordLine(const QString& line) {
    if (line.size() <= kTextAt || line.mid(kStampLength, 2) != QStringLiteral("  "))
        return {};
    const QDateTime at = QDateTime::fromString(line.left(kStampLength), kStampForm);
    if (!at.isValid())
        return {};
    return {at, line.mid(kTextAt)};
}

RecordRead readRecords(const QString& path) {
    RecordRead read;
    for (const QString& name : recordFiles(path)) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            read.unreadable << QDir::toNativeSeparators(name) + QStringLiteral(": ") +
                                   file.errorString();
            continue;
        }
        QList<QByteArray> lines = file.readAll().split('\n');
        // Every line is written with its line break in one call; text after the last one was
        // cut short (a full disk, a copy interrupted).
        if (!lines.takeLast().isEmpty())
            ++read.skipped;
        for (QByteArray& bytes : lines) {
            if (bytes.endsWith('\r')) // an editor on Windows
                bytes.chop(1);
            if (bytes.isEmpty())
                continue;
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = utf8(bytes);
            const RecordLine line = utf8.hasError() ? RecordLine{} : parseRecordLine(text);
            if (line.at.isValid())
                read.lines.append(line);
            else
                ++read.skipped;
        }
    }
    return read;
}

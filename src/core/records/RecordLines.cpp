#include "core/records/RecordLines.h"

#include "core/records/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <utility>

namespace {
constexpr int kStampLength = 19; // yyyy-MM-dd hh:mm:ss
constexpr int kTextAt = kStampLength + 2;

// Digits at [at, at + n); -1 when one is not a digit.
int number(const QString& line, int at, int n) {
    int value = 0;
    for (int i = at; i < at + n; ++i) {
        if (!line[i].isDigit() || line[i].unicode() > '9')
            return -1;
        value = value * 10 + line[i].unicode() - '0';
    }
    return value;
}

bool separatorsAt(const QString& line) {
    static constexpr std::pair<int, char> kSeparators[] = {
        {4, '-'}, {7, '-'}, {10, ' '}, {13, ':'}, {16, ':'}, {19, ' '}, {20, ' '}};
    for (const auto& [at, c] : kSeparators)
        if (line[at] != QLatin1Char(c))
            return false;
    return true;
}
} // namespace

QByteArray recordLine(const QDateTime& at, const QString& text) {
    return (at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss  ")) + text + QLatin1Char('\n'))
        .toUtf8();
}

RecordLine parseRecordLine(const QString& line) {
    // By hand: a month of records is tens of thousands of lines, and the general date parser
    // takes a thousand times longer than the digits need.
    if (line.size() <= kTextAt || !separatorsAt(line))
        return {};
    const QDate date(number(line, 0, 4), number(line, 5, 2), number(line, 8, 2));
    const QTime time(number(line, 11, 2), number(line, 14, 2), number(line, 17, 2));
    if (date.year() < 1 || !date.isValid() || !time.isValid())
        return {};
    return {wallClock(date, time), line.mid(kTextAt)};
}

QDateTime wallClock(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
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

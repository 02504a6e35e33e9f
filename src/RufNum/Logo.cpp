#include "RufNum/Logo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <optional>
#include <stdexcept>

namespace {

template <typename T> qint64 le(const QByteArray& b, int at) {
    return qFromLittleEndian<T>(b.constData() + at);
}

// Uncompressed rows are padded to four bytes. In floating point: a forged header may claim
// more than any integer holds.
double uncompressedBytes(qint64 width, qint64 height, qint64 bits) {
    return double((width * bits + 31) / 32 * 4) * double(height);
}

// How many bytes the pixels take, from the old 12-byte info header or the common one of 40
// bytes and more; a header too short for either is left to the picture reader.
std::optional<double> pixelBytes(const QByteArray& head) {
    if (le<quint32>(head, 14) == 12)
        return uncompressedBytes(le<quint16>(head, 18), le<quint16>(head, 20),
                                 le<quint16>(head, 24));
    if (head.size() < 38)
        return std::nullopt;
    // Compressed data says its own size.
    const qint64 compression = le<quint32>(head, 30);
    if (compression != 0 && compression != 3 && compression != 6)
        return double(le<quint32>(head, 34));
    return uncompressedBytes(le<qint32>(head, 18), qAbs(le<qint32>(head, 22)),
                             le<quint16>(head, 28));
}

// Qt draws a cut-off bitmap with the missing rows blank. A logo that lost its end in a copy
// is broken, and the administrator should hear so rather than see half a logo.
bool bitmapIsCut(QFile& file) {
    const QByteArray head = file.read(38);
    if (head.size() < 30 || !head.startsWith("BM"))
        return false;
    const std::optional<double> pixels = pixelBytes(head);
    return pixels && double(file.size()) < double(le<quint32>(head, 10)) + *pixels;
}

[[noreturn]] void notAPicture(const QString& fileName) {
    throw std::runtime_error(
        QStringLiteral("Die Logo-Datei \"%1\" ist kein lesbares Bild !")
            .arg(QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()))
            .toLocal8Bit()
            .toStdString());
}

} // namespace

QImage loadLogoPicture(const QString& fileName) {
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || bitmapIsCut(file))
        notAPicture(fileName);
    file.seek(0);
    QImageReader reader(&file);
    QImage picture;
    if (!reader.read(&picture))
        notAPicture(fileName);
    return picture;
}

QImage loadBuiltInPicture(const QString& resource, const char* format) {
    // Told the format and not to guess, the reader takes Qt's own decoder for it; guessing
    // would load every picture plugin (and the JPEG library) to ask each about the data.
    QImageReader reader(resource, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

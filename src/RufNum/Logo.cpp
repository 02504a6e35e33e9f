#include "Logo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <stdexcept>

namespace {

template <typename T> qint64 le(const QByteArray& b, int at) {
    return qFromLittleEndian<T>(b.constData() + at);
}

// Qt draws a cut-off bitmap with the missing rows blank. A logo that lost its end in a copy
// is broken, and the administrator should hear so rather than see half a logo.
bool bitmapIsCut(QFile& file) {
    const QByteArray head = file.read(38);
    if (head.size() < 30 || !head.startsWith("BM"))
        return false;
    const qint64 pixelsAt = le<quint32>(head, 10);
    const qint64 infoSize = le<quint32>(head, 14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bits = 0;
    qint64 compression = 0;
    qint64 imageSize = 0;
    if (infoSize == 12) {
        width = le<quint16>(head, 18);
        height = le<quint16>(head, 20);
        bits = le<quint16>(head, 24);
    } else if (head.size() >= 38) {
        width = le<qint32>(head, 18);
        height = qAbs(le<qint32>(head, 22));
        bits = le<quint16>(head, 28);
        compression = le<quint32>(head, 30);
        imageSize = le<quint32>(head, 34);
    }
    // Uncompressed rows are padded to four bytes; compressed data says its own size.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    // In floating point: a forged header may claim more than any integer holds.
    const double rowBytes = double((width * bits + 31) / 32 * 4);
    const double pixelBytes = uncompressed ? rowBytes * double(height) : double(imageSize);
    return double(file.size()) < double(pixelsAt) + pixelBytes;
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

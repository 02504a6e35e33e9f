// The logo picture named in the settings: taken from the working folder, and refused with a
// message when it is not a whole picture.
#include "RufNum/Logo.h"
#include "WindowFixture.h"
#include "app/TorvanelApplication.h"

#include <QDataStream>
#include <QDir>
#include <QTemporaryDir>
#include <stdexcept>

using namespace window_test;

namespace {

// A bitmap file written out field by field: file header, info header (the old 12-byte one or
// the common 40-byte one), colour masks or palette, pixels. Uncompressed pixels leave their
// size out of the header, as they may.
QByteArray bitmap(int width, int height, int bits, quint32 compression = 0, bool old = false,
                  const QByteArray& runs = {}) {
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int infoSize = old ? 12 : 40;
    const QByteArray pixels =
        compression == 1 ? runs : QByteArray((width * bits + 31) / 32 * 4 * qAbs(height), '\x01');
    const int tables = (compression == 3 ? 12 : 0) + colours * (old ? 3 : 4);
    const quint32 pixelsAt = 14 + infoSize + tables;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(pixelsAt + pixels.size()) << quint32(0) << pixelsAt << quint32(infoSize);
    if (old)
        s << quint16(width) << quint16(height) << quint16(1) << quint16(bits);
    else
        s << qint32(width) << qint32(height) << quint16(1) << quint16(bits) << compression
          << quint32(compression == 0 ? 0 : pixels.size()) << qint32(2835) << qint32(2835)
          << quint32(0) << quint32(0);
    if (compression == 3)
        s << quint32(0xFF0000) << quint32(0xFF00) << quint32(0xFF);
    out.append(QByteArray(tables - (compression == 3 ? 12 : 0), '\x40'));
    return out + pixels;
}

} // namespace

class TestLogo : public QObject {
    Q_OBJECT
private slots:
    // A bitmap is whole when its pixels reach as far as its header says; one byte short and
    // it is refused, whatever its form.
    void aLogoBitmapOneByteShortIsRefused_data() {
        QTest::addColumn<QByteArray>("file");
        // 4 x 2 at 24 bits: rows of exactly 12 bytes, no padding.
        QTest::newRow("24 bits") << bitmap(4, 2, 24);
        QTest::newRow("24 bits, top-down") << bitmap(4, -2, 24);
        QTest::newRow("8 bits, padded rows") << bitmap(5, 3, 8);
        QTest::newRow("32 bits, bit fields") << bitmap(170, 25, 32, 3);
        QTest::newRow("old header") << bitmap(4, 2, 24, 0, true);
        // Two rows of two pixels, each row ended, then the end of the picture.
        QTest::newRow("run-length")
            << bitmap(2, 2, 8, 1, false, QByteArray("\x02\x01\x00\x00\x02\x01\x00\x01", 8));
    }
    void aLogoBitmapOneByteShortIsRefused() {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.bmp"));
        writeAll(path, file);
        QVERIFY(!loadLogoPicture(path).isNull());
        writeAll(path, file.chopped(1));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadLogoPicture(path));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TorvanelApplication app(argc, argv);
    TestLogo t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_logo.moc"

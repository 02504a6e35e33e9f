#include "FakeServices.h"
#include "Files.h"
#include "RufNum/ClientRun.h"
#include "RufNum/Logo.h"
#include "RufNum/TorvanelApplication.h"
#include "platform/InstanceGuard.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <stdexcept>

namespace {

int run(FakeServices& fake, const QString& text) {
    return runClient(*static_cast<TorvanelApplication*>(qApp), text, fake.services());
}

// File header, then the old 12-byte info header for 24 bits a pixel, or the common one with a
// palette and the runs given or, for rows, a size given wrong as writers may: the rows' size
// is the width's and the height's.
QByteArray bitmap(int width, int height, int bits, const QByteArray& runs = {}) {
    const QByteArray pixels =
        runs.isEmpty() ? QByteArray((width * bits + 31) / 32 * 4 * height, '\x01') : runs;
    const quint32 pixelsAt = bits == 24 ? 26 : bits == 32 ? 66 : 54 + (4 << bits);
    const quint32 compression = runs.isEmpty() ? (bits == 32 ? 3 : 0) : 1; // 3: bit fields
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(pixelsAt + pixels.size()) << quint32(0) << pixelsAt;
    if (bits == 24)
        s << quint32(12) << quint16(width) << quint16(height) << quint16(1) << quint16(24);
    else
        s << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(bits)
          << compression << quint32(runs.isEmpty() ? 1 : runs.size()) << qint32(2835)
          << qint32(2835) << quint32(0) << quint32(0);
    if (bits == 32) // bit fields: where red, green and blue lie
        s << quint32(0xff0000) << quint32(0xff00) << quint32(0xff);
    return out + QByteArray(pixelsAt - out.size(), '\x40') + pixels;
}

} // namespace

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void aSecondStartIsRefusedAndAsksTheFirstForward() {
        InstanceGuard running(QStringLiteral("Haus 2"));
        QVERIFY(running.tryAcquire());
        QSignalSpy asked(&running, &InstanceGuard::activationRequested);
        FakeServices fake;
        QCOMPARE(run(fake, QStringLiteral("Haus 2")), 0);
        QCOMPARE(
            fake.prompts.texts(),
            QStringList{"Das Programm ist bereits aktiv. Es kann nicht erneut gestartet werden !"});
        QTRY_COMPARE(asked.count(), 1);
    }

    // An unhandled error ends the run, told once even if another comes while it is told.
    void anUnhandledErrorEndsTheRunToldOnce() {
        FakeServices fake;
        fake.prompts.whileOpen = [](const ScriptedPrompts::Box&) {
            QTimer::singleShot(0, [] { throw std::runtime_error("noch einer"); });
            QCoreApplication::processEvents();
        };
        QTimer::singleShot(0, [] { throw 42; });
        QCOMPARE(run(fake, QStringLiteral("Haus 3")), 0);
        QCOMPARE(fake.prompts.texts(), QStringList{"Unbekannter Fehler"});
        // The window is gone: an error now must not reach it.
        QTimer::singleShot(0, [] { throw 43; });
        QCoreApplication::processEvents();
        QCOMPARE(fake.prompts.shown.size(), 1);
    }

    // The desktop's end, by a signal or by its session manager: the quit's steps without
    // a box, the end on record.
    void theDesktopEndsTheRun_data() {
        QTest::addColumn<bool>("signal");
#ifndef Q_OS_WIN
        QTest::newRow("SIGTERM") << true;
#endif
        QTest::newRow("the session's end") << false;
    }
    void theDesktopEndsTheRun() {
        QFETCH(bool, signal);
        FakeServices fake;
        QTimer::singleShot(0, [signal] {
            if (signal)
                std::raise(SIGTERM);
            else
                QCoreApplication::quit();
        });
        QCOMPARE(run(fake, QStringLiteral("Haus 4")), 0);
        // Closing the report while the window is in the tray must not end the program.
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QCOMPARE(fake.prompts.texts(), QStringList());
        QVERIFY(fake.store.writesTo.contains("Position/LeftHaus 4"));
#ifdef Q_OS_LINUX
        // Its own pictures are read without asking every picture plugin, which start-up pays.
        QVERIFY(!fileBytes("/proc/self/maps").contains("/imageformats/"));
#endif
    }

    // One byte short is refused: rows padded to four bytes, and run-length rows with end marks.
    // Other formats are read as they are.
    void aLogoBitmapOneByteShortIsRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.bmp"));
        for (const QByteArray& file :
             {bitmap(5, 3, 8), bitmap(5, 3, 24), bitmap(5, 3, 32),
              bitmap(8, 2, 8, QByteArray("\x08\x01\x00\x00\x08\x01\x00\x01", 8))}) {
            writeFile(path, file);
            QVERIFY(!loadLogoPicture(path).isNull());
            writeFile(path, file.chopped(1));
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadLogoPicture(path));
        }
        QVERIFY(QImage(3, 2, QImage::Format_Mono).save(dir.filePath(QStringLiteral("logo.png"))));
        QCOMPARE(loadLogoPicture(dir.filePath(QStringLiteral("logo.png"))).size(), QSize(3, 2));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Instance guards of our own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TorvanelApplication app(argc, argv);
    TestRun t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_run.moc"

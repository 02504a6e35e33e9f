#include "FakeServices.h"
#include "RufNum/ClientRun.h"
#include "RufNum/Logo.h"
#include "RufNum/RufNum.h"
#include "RufNum/TorvanelApplication.h"
#include "core/records/AlarmJournal.h"
#include "platform/InstanceGuard.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>
#ifndef Q_OS_WIN
#include <csignal>
#include <unistd.h>
#endif

namespace {

int run(FakeServices& fake, const QString& text) {
    return runClient(*static_cast<TorvanelApplication*>(qApp), text, fake.services());
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// File header, info header, palette, then the runs given or rows whose size the header gives
// wrong, as writers may for rows: the rows' size is the width's and the height's.
QByteArray bitmap(int width, int height, int bits, const QByteArray& runs = {}) {
    const QByteArray pixels =
        runs.isEmpty() ? QByteArray((width * bits + 31) / 32 * 4 * qAbs(height), '\x01') : runs;
    const quint32 pixelsAt = 54 + (bits <= 8 ? 4 << bits : 0);
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(pixelsAt + pixels.size()) << quint32(0) << pixelsAt << quint32(40) << qint32(width)
      << qint32(height) << quint16(1) << quint16(bits) << quint32(runs.isEmpty() ? 0 : 1)
      << quint32(runs.isEmpty() ? 1 : runs.size()) << qint32(2835) << qint32(2835) << quint32(0)
      << quint32(0);
    return out + QByteArray(pixelsAt - out.size(), '\x40') + pixels;
}

// The old form: a 12-byte info header, 24 bits a pixel and no palette.
QByteArray coreBitmap(int width, int height) {
    const QByteArray pixels((width * 24 + 31) / 32 * 4 * height, '\x01');
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(26 + pixels.size()) << quint32(0) << quint32(26) << quint32(12) << quint16(width)
      << quint16(height) << quint16(1) << quint16(24);
    return out + pixels;
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
        QCOMPARE(fake.prompts.shown.size(), 1);
        QVERIFY(fake.prompts.shown[0].text.startsWith("Das Programm ist bereits aktiv."));
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
#ifndef Q_OS_WIN
            if (signal) {
                ::kill(::getpid(), SIGTERM);
                return;
            }
#endif
            Q_UNUSED(signal)
            QCoreApplication::quit();
        });
        QCOMPARE(run(fake, QStringLiteral("Haus 4")), 0);
        // Closing the report while the window is in the tray must not end the program.
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QCOMPARE(fake.prompts.texts(), QStringList());
        QVERIFY(fake.store.writesTo.contains("Position/LeftHaus 4"));
        QFile journal(journalPath(fake.dataDir.path(), QStringLiteral("Haus 4")));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        QVERIFY(journal.readAll().endsWith("  Client beendet\n"));
    }

    // One byte short is refused: rows padded to four bytes, and run-length rows with end marks.
    void aLogoBitmapOneByteShortIsRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.bmp"));
        for (const QByteArray& file :
             {bitmap(5, 3, 8), coreBitmap(5, 3),
              bitmap(8, 2, 8, QByteArray("\x08\x01\x00\x00\x08\x01\x00\x01", 8))}) {
            writeFile(path, file);
            QVERIFY(!loadLogoPicture(path).isNull());
            writeFile(path, file.chopped(1));
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadLogoPicture(path));
        }
    }

    void aLogoInAnotherFormatIsShown() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.png"));
        QImage picture(3, 2, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(path));
        QCOMPARE(loadLogoPicture(path).size(), QSize(3, 2));
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

// A whole run of the client as main() starts it, and the logo that can keep its window out.
#include "FakeServices.h"
#include "RufNum/Logo.h"
#include "RufNum/RufNum.h"
#include "app/ClientRun.h"
#include "app/TorvanelApplication.h"
#include "platform/InstanceGuard.h"

#include <QDataStream>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

namespace {

TNummernForm* runningWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TNummernForm*>(w))
            return form;
    return nullptr;
}

// Runs the client for `text`; `whileRunning` acts once its window is up.
int run(FakeServices& fake, const QString& text,
        const std::function<void(TNummernForm&)>& whileRunning = {}) {
    QTimer::singleShot(0, [whileRunning] {
        if (TNummernForm* form = runningWindow(); form && whileRunning)
            whileRunning(*form);
    });
    return runClient(*static_cast<TorvanelApplication*>(qApp), text, fake.services());
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// File header, old 12-byte or 40-byte info header, masks or palette, pixels (size left out).
QByteArray bitmap(int width, int height, int bits, quint32 compression = 0, bool old = false,
                  const QByteArray& runs = {}) {
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int infoSize = old ? 12 : 40;
    const QByteArray pixels =
        compression == 1 ? runs : QByteArray((width * bits + 31) / 32 * 4 * qAbs(height), '\x01');
    const int masks = compression == 3 ? 12 : 0;
    const quint32 pixelsAt = 14 + infoSize + masks + colours * (old ? 3 : 4);
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
    if (masks)
        s << quint32(0xFF0000) << quint32(0xFF00) << quint32(0xFF);
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
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text,
                 "Das Programm ist bereits aktiv. Es kann nicht erneut gestartet werden !");
        QCOMPARE(fake.prompts.shown[0].caption, QStringLiteral("TorvanelClient"));
        QTRY_COMPARE(asked.count(), 1);
        QVERIFY(!runningWindow());
    }

    // A second start brings the window forward unless in the tray; an error ends it, told once.
    void runsUntilAnUnhandledErrorEndsIt_data() {
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("message");
        QTest::newRow("known kind") << true << QStringLiteral("Zugriffsverletzung");
        QTest::newRow("unknown kind") << false << QStringLiteral("Unbekannter Fehler");
    }
    void runsUntilAnUnhandledErrorEndsIt() {
        QFETCH(bool, known);
        QFETCH(QString, message);
        FakeServices fake;
        fake.prompts.whileOpen = [](const ScriptedPrompts::Box&) {
            QTimer::singleShot(0, [] { throw std::runtime_error("noch einer"); });
            QCoreApplication::processEvents();
        };
        bool checked = false;
        const int code = run(fake, QStringLiteral("Haus 3"), [&](TNummernForm& form) {
            QVERIFY(form.isVisible() && !QApplication::quitOnLastWindowClosed());
            QWidget other;
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(QTest::qWaitForWindowActive(&other));
            InstanceGuard second(QStringLiteral("Haus 3"));
            QVERIFY(!second.tryAcquire());
            QVERIFY(second.askRunningToActivate());
            QTRY_COMPARE(QApplication::activeWindow(), &form);
            form.hide();
            QVERIFY(second.askRunningToActivate());
            QTest::qWait(50);
            QVERIFY(!form.isVisible());
            checked = true;
            QTimer::singleShot(0, &form, [known] {
                if (known)
                    throw std::runtime_error("Zugriffsverletzung");
                throw 42;
            });
        });
        QCOMPARE(code, 0);
        QVERIFY(checked);
        QCOMPARE(fake.prompts.shown.size(), 1);
        QCOMPARE(fake.prompts.shown[0].text, message);
        QVERIFY(!runningWindow());
    }

    // A bitmap one byte shorter than its header says is refused, whatever its form.
    void aLogoBitmapOneByteShortIsRefused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("24 bits") << bitmap(4, 2, 24); // rows of 12 bytes, no padding
        QTest::newRow("24 bits, top-down") << bitmap(4, -2, 24);
        QTest::newRow("8 bits, padded rows") << bitmap(5, 3, 8);
        QTest::newRow("32 bits, bit fields") << bitmap(170, 25, 32, 3);
        QTest::newRow("old header") << bitmap(4, 2, 24, 0, true);
        // Two rows of eight pixels, each row ended, then the end of the picture: half the
        // bytes the rows would take uncompressed.
        QTest::newRow("run-length")
            << bitmap(8, 2, 8, 1, false, QByteArray("\x08\x01\x00\x00\x08\x01\x00\x01", 8));
    }
    void aLogoBitmapOneByteShortIsRefused() {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.bmp"));
        writeFile(path, file);
        QVERIFY(!loadLogoPicture(path).isNull());
        writeFile(path, file.chopped(1));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadLogoPicture(path));
    }

    // Any picture Qt reads will do as a logo, not only a bitmap.
    void aLogoInAnotherFormatIsShown() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.png"));
        QImage picture(3, 2, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(path));
        QCOMPARE(loadLogoPicture(path).size(), QSize(3, 2));
    }

    void aWindowThatCannotBeBuiltSaysWhy() {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        writeFile(QStringLiteral("BMP_klein.bmp"), "BM no picture");
        FakeServices fake;
        QCOMPARE(run(fake, QString()), 0);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(fake.prompts.shown.size(), 1);
        QVERIFY(fake.prompts.shown[0].text.startsWith(QStringLiteral("Die Logo-Datei")));
        QCOMPARE(fake.prompts.shown[0].flags, mb::Ok | mb::IconHand);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Instance guards of our own, apart from any client running on this desktop.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TorvanelApplication app(argc, argv);
    TestRun t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_run.moc"

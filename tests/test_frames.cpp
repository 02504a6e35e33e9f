#include "wire/FrameReader.h"
#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <QTest>
#include <numeric>

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    // Every cut into three reads; stray text between frames is passed over.
    void framesAreHandedOnWholeHoweverTheReadsAreCut() {
        const QByteArray a = frames::compose("[___TEST]", "BUSY,12,");
        const QByteArray b = frames::compose("[___test]", frames::line("17"));
        const QByteArray stream = a + "\r\n[" + b;
        for (int i = 0; i <= stream.size(); ++i)
            for (int j = i; j <= stream.size(); ++j) {
                FrameReader r;
                QList<QByteArray> got = r.feed(stream.left(i));
                got += r.feed(stream.mid(i, j - i));
                got += r.feed(stream.mid(j));
                QCOMPARE(got, (QList<QByteArray>{a, b}));
            }
    }

    // A read that starts a frame drops a torn one, a mid-frame "[___" does not; stray text
    // before a frame is passed over, and a frame begun behind it kept.
    void tornFramesGiveWayToTheNext() {
        FrameReader r;
        QVERIFY(r.feed("[___D_IN]\n\r0815 half a table").isEmpty());
        QCOMPARE(r.feed(frames::heartbeat()), QList<QByteArray>{frames::heartbeat()});
        QVERIFY(r.feed("[___TEST]\n\r").isEmpty());
        QCOMPARE(r.feed("x[___y{_ENDE__}"), QList<QByteArray>{"[___TEST]\n\rx[___y{_ENDE__}"});
        QCOMPARE(r.feed("\r\n" + frames::heartbeat() + "[___TE"),
                 QList<QByteArray>{frames::heartbeat()});
        QCOMPARE(r.feed("ST]\n\r{_ENDE__}"), QList<QByteArray>{frames::heartbeat()});
    }

    // Every byte the server sends can be typed or written back as it came.
    void wireBytesAreExactAndWindows1252RoundTrips() {
        QCOMPARE(frames::tableRequest(), QByteArray("[___GDAT]\n\r{_ENDE__}"));
        QCOMPARE(frames::clearCharges("4711"), QByteArray("[___GLOE]\n\r4711\n\r{_ENDE__}"));
        QByteArray all(256, 0);
        std::iota(all.begin(), all.end(), 0);
        QCOMPARE(wire::toWire(wire::fromWire(all)), all);
        for (const char32_t c : wire::fromWire(all).toUcs4())
            QVERIFY2(wire::fitsWire(c), qPrintable(QString::number(c, 16)));
        QCOMPARE(wire::toWire(QString::fromUtf8("\u00fc\u20ac\u2603")), QByteArray("\xFC\x80?"));
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "test_frames.moc"

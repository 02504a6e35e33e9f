#include "link/FrameReader.h"
#include "link/Frames.h"
#include "link/Wire1252.h"

#include <QTest>

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void composedFramesAreExactBytes() {
        QCOMPARE(frames::tableRequest().toHex(' '),
                 QByteArray("5b 5f 5f 5f 47 44 41 54 5d 0a 0d 7b 5f 45 4e 44 45 5f 5f 7d"));
        QCOMPARE(frames::clearCharges("4711"), QByteArray("[___GLOE]\n\r4711\n\r{_ENDE__}"));
    }

    // Every cut into three reads, and byte by byte; stray text between frames is passed over.
    void framesAreHandedOnWholeHoweverTheReadsAreCut() {
        const QByteArray a = frames::compose("[___TEST]", "BUSY,12,");
        const QByteArray b = frames::compose("[___test]", frames::line("17"));
        for (const QByteArray& stray : {QByteArray(), QByteArray("\r\n["), QByteArray("[")}) {
            const QByteArray stream = a + stray + b;
            for (int i = 0; i <= stream.size(); ++i) {
                for (int j = i; j <= stream.size(); ++j) {
                    FrameReader r;
                    QList<QByteArray> got = r.feed(stream.left(i));
                    got += r.feed(stream.mid(i, j - i));
                    got += r.feed(stream.mid(j));
                    QVERIFY2(got == (QList<QByteArray>{a, b}),
                             qPrintable(QString("%1 %2 %3").arg(stray.size()).arg(i).arg(j)));
                    QVERIFY(r.pending().isEmpty());
                }
            }
            FrameReader r;
            QList<QByteArray> got;
            for (char c : stream)
                got += r.feed(QByteArray(1, c));
            QCOMPARE(got, (QList<QByteArray>{a, b}));
        }
    }

    // A read that starts a frame drops a torn one, a mid-frame "[___" does not; so does size.
    void tornAndOversizedFramesGiveWayToTheNext() {
        FrameReader r;
        QVERIFY(r.feed("[___D_IN]\n\r0815 half a table").isEmpty());
        QCOMPARE(r.feed(frames::heartbeat()), QList<QByteArray>{frames::heartbeat()});
        QVERIFY(r.feed("[___TEST]\n\r").isEmpty());
        QCOMPARE(r.feed("x[___y{_ENDE__}"), QList<QByteArray>{"[___TEST]\n\rx[___y{_ENDE__}"});
        r.feed("[___D_IN]\n\r");
        for (int i = 0; i < 20; ++i)
            r.feed(QByteArray(64 * 1024, 'x'));
        QVERIFY(r.pending().size() <= FrameReader::kMaxPending);
        QCOMPARE(r.feed("x" + frames::heartbeat()), QList<QByteArray>{frames::heartbeat()});
    }

    void windows1252RoundTripsAndReplacesTheRest() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(wire::toWire(wire::fromWire(all)), all);
        QCOMPARE(wire::toWire(QString::fromUtf8("Gebühr €")), QByteArray("Geb\xFChr \x80"));
        // One '?' per code point, also beyond the basic plane.
        QCOMPARE(wire::toWire(QString::fromUtf8("a\u2603b\U0001F600c")), QByteArray("a?b?c"));
        QVERIFY(wire::fitsWire(U'ü') && !wire::fitsWire(U'\u2603'));
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "test_frames.moc"

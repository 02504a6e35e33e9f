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
        QCOMPARE(frames::heartbeat(), QByteArray("[___TEST]\n\r{_ENDE__}"));
        QCOMPARE(frames::heartbeat().size(), 20);
        QCOMPARE(frames::clearCharges("4711"), QByteArray("[___GLOE]\n\r4711\n\r{_ENDE__}"));
        QCOMPARE(frames::clearCharges(""), QByteArray("[___GLOE]\n\r\n\r{_ENDE__}"));
    }

    void frameInPiecesIsHandledOnceWhenComplete() {
        const QByteArray f = frames::heartbeat();
        // Cut at every place, the end marker included, and in single bytes.
        for (int cut = 1; cut < f.size(); ++cut) {
            FrameReader r;
            QVERIFY(r.feed(f.left(cut)).isEmpty());
            const auto got = r.feed(f.mid(cut));
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.first(), f);
        }
        FrameReader r;
        QList<QByteArray> all;
        for (char c : f)
            all += r.feed(QByteArray(1, c));
        QCOMPARE(all, QList<QByteArray>{f});
        QVERIFY(r.pending().isEmpty());
    }

    void coalescedFramesAreAllHandledInOrder() {
        const QByteArray a = frames::compose("[___D_IN]", frames::line("4711"));
        const QByteArray b = frames::compose("[___TEST]", "BUSY,12,");
        FrameReader r;
        QCOMPARE(r.feed(a + b), (QList<QByteArray>{a, b}));
        // A frame plus the start of the next: the first now, the second when it completes.
        QCOMPARE(r.feed(a + b.left(12)), QList<QByteArray>{a});
        QCOMPARE(r.feed(b.mid(12)), QList<QByteArray>{b});
    }

    void textBetweenFramesIsPassedOverHoweverTheReadsAreCut() {
        const QByteArray a = frames::compose("[___TEST]", "BUSY,12,");
        const QByteArray b = frames::compose("[___test]", frames::line("17"));
        // Every way of cutting the stream into three reads, "[___" after "[" or "[_" included;
        // the second stray text ends in a "[" that starts nothing.
        for (const QByteArray& stray : {QByteArray("\r\n"), QByteArray("\r\n[")}) {
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
        }
    }

    void newFrameStartDiscardsTornFrame() {
        FrameReader r;
        QVERIFY(r.feed("[___D_IN]\n\r0815 half a table").isEmpty());
        QCOMPARE(r.feed(frames::heartbeat()), QList<QByteArray>{frames::heartbeat()});
        // A continuation that merely contains "[___" later on does not reset.
        QVERIFY(r.feed("[___TEST]\n\r").isEmpty());
        QCOMPARE(r.feed("x[___y{_ENDE__}"), QList<QByteArray>{"[___TEST]\n\rx[___y{_ENDE__}"});
    }

    void oversizedIncompleteFrameIsDropped() {
        FrameReader r;
        r.feed("[___D_IN]\n\r");
        const QByteArray block(64 * 1024, 'x');
        for (int i = 0; i < 20; ++i)
            r.feed(block);
        QVERIFY(r.pending().size() <= FrameReader::kMaxPending);
        // The stream recovers at the next frame start.
        QCOMPARE(r.feed(frames::heartbeat()), QList<QByteArray>{frames::heartbeat()});
    }

    void windows1252RoundTripsAndReplacesTheRest() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(wire::toWire(wire::fromWire(all)), all);
        QCOMPARE(wire::toWire(QString::fromUtf8("Gebühr €")), QByteArray("Geb\xFChr \x80"));
        // One '?' per code point, also for characters outside the basic plane.
        QCOMPARE(wire::toWire(QString::fromUtf8("a\u2603b\U0001F600c")), QByteArray("a?b?c"));
        QVERIFY(wire::fitsWire(U'ü'));
        QVERIFY(!wire::fitsWire(U'\u2603'));
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "test_frames.moc"

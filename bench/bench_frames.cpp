// Throughput of the frame recogniser. Reports bytes per second for a full table frame fed
// whole, in network-sized reads and byte by byte, and for streams of heartbeat answers of
// growing size (the rate should stay flat: cost linear in input), also with a stray line end
// after every frame, which the recogniser has to pass over.
#include "wire/FrameReader.h"
#include "wire/Frames.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray tableFrame() {
    QByteArray body;
    for (int i = 0; i < 120; ++i) {
        QByteArray line = QByteArray::number(100 + i).leftJustified(60, ' ') + "12.50 ";
        body += frames::line(
            line + QByteArray("Zimmer ").append(QByteArray::number(i)).leftJustified(40, ' '));
    }
    return frames::compose(frames::kTable, body);
}

void feedInReads(benchmark::State& state, const QByteArray& stream, qsizetype readSize) {
    QList<QByteArray> reads;
    for (qsizetype at = 0; at < stream.size(); at += readSize)
        reads.append(stream.mid(at, readSize));
    for (auto _ : state) {
        FrameReader reader;
        qsizetype frames = 0;
        for (const QByteArray& r : reads)
            frames += reader.feed(r).size();
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
}

void TableWhole(benchmark::State& s) {
    feedInReads(s, tableFrame(), 1 << 30);
}
void TableIn1460ByteReads(benchmark::State& s) {
    feedInReads(s, tableFrame(), 1460);
}
void TableIn1ByteReads(benchmark::State& s) {
    feedInReads(s, tableFrame(), 1);
}

void HeartbeatStream(benchmark::State& s) {
    const QByteArray one = frames::compose(frames::kHeartbeat, "BUSY,12,17,");
    QByteArray stream;
    while (stream.size() < s.range(0))
        stream += one;
    feedInReads(s, stream, 1460);
}

void HeartbeatStreamWithStrayLineEnds(benchmark::State& s) {
    const QByteArray one = frames::compose(frames::kHeartbeat, "BUSY,12,17,") + "\r\n";
    QByteArray stream;
    while (stream.size() < s.range(0))
        stream += one;
    feedInReads(s, stream, 1460);
}

} // namespace

BENCHMARK(TableWhole);
BENCHMARK(TableIn1460ByteReads);
BENCHMARK(TableIn1ByteReads);
BENCHMARK(HeartbeatStream)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(HeartbeatStreamWithStrayLineEnds)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

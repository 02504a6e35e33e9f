// Loading and sorting a full table happen on the one user-interface thread, between paints;
// these figures show how much of a frame they take.
#include "../tests/FakeServices.h"
#include "core/link/ServerLink.h"
#include "core/table/NumberTable.h"
#include "core/table/TableSort.h"
#include "wire/Frames.h"
#include "wire/TableLines.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

QByteArray fullTableFrame() {
    QByteArray body;
    for (int i = 0; i < table::kMaxLines; ++i) {
        // Numbers in no particular order, some remarks with umlauts, a few empty numbers.
        const QByteArray number =
            i % 17 == 0 ? QByteArray() : QByteArray::number((i * 7919) % 10007);
        QByteArray line = number.leftJustified(20, ' ') +
                          QByteArray::number(1000 + i).leftJustified(20) +
                          QByteArray("112").leftJustified(20) + QByteArray(" 12.50") +
                          (QByteArray("Zimmer K\xFC"
                                      "che ") +
                           QByteArray::number(i % 13))
                              .leftJustified(40);
        body += frames::line(line);
    }
    return frames::compose(frames::kTable, body);
}

// The table with its cells, as the grid holds it; the link stays down.
struct Fixture {
    FakeServices fakes;
    ServerLink link;
    NumberTable table{link, fakes.prompts};
};

Fixture* fixture = nullptr;

void LoadAndFill120Rows(benchmark::State& state) {
    const QByteArray frame = fullTableFrame();
    for (auto _ : state) {
        fixture->table.tableArrived(frame);
        benchmark::DoNotOptimize(fixture->table.rows());
    }
}
BENCHMARK(LoadAndFill120Rows)->Unit(benchmark::kMicrosecond);

// The operator's double-click: sort the lines and refill the grid.
void SortByNumberAndRefill(benchmark::State& state) {
    const QByteArray frame = fullTableFrame();
    for (auto _ : state) {
        state.PauseTiming();
        fixture->table.tableArrived(frame);
        state.ResumeTiming();
        fixture->table.sortBy(table::Number);
    }
}
BENCHMARK(SortByNumberAndRefill)->Unit(benchmark::kMicrosecond);

void SortRowsByRemark(benchmark::State& state) {
    fixture->table.tableArrived(fullTableFrame());
    const QList<table::Cells> rows = fixture->table.rows();
    for (auto _ : state)
        benchmark::DoNotOptimize(table::sortedOrder(rows, table::CompareByRemark));
}
BENCHMARK(SortRowsByRemark)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Loading and sorting a full table happen on the one user-interface thread, between paints;
// these figures show how much of a frame they take.
#include "../tests/FakeServices.h"
#include "link/Frames.h"
#include "table/TableLines.h"
#include "table/TableSort.h"

#include <QApplication>
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

struct Fixture {
    FakeServices fakes;
    std::unique_ptr<TNummernForm> form;
    Fixture() {
        form = std::make_unique<TNummernForm>(QString(), fakes.services());
        form->Timer1.stop();
        form->ClientZuServer.abort();
        form->show();
    }
};

Fixture* fixture = nullptr;

void LoadAndFill120Rows(benchmark::State& state) {
    const QByteArray frame = fullTableFrame();
    for (auto _ : state) {
        fixture->form->LoadTable(frame);
        benchmark::DoNotOptimize(fixture->form->RowNst);
    }
}
BENCHMARK(LoadAndFill120Rows)->Unit(benchmark::kMicrosecond);

// The operator's double-click: sort the lines and refill the grid.
void SortByNumberAndRefill(benchmark::State& state) {
    const QByteArray frame = fullTableFrame();
    for (auto _ : state) {
        state.PauseTiming();
        fixture->form->LoadTable(frame);
        state.ResumeTiming();
        fixture->form->NummernGridDblClick(1);
    }
}
BENCHMARK(SortByNumberAndRefill)->Unit(benchmark::kMicrosecond);

void SortLinesByRemark(benchmark::State& state) {
    const QList<QByteArray> lines = table::parseTableFrame(fullTableFrame());
    for (auto _ : state) {
        QList<QByteArray> copy = lines;
        table::sortLines(copy, table::CompareByRemark);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(SortLinesByRemark)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The pick's cost with a large found-songs list: the Fenwick tree against the list that moves
// every later song up after each pick.
#include "generate/playlistwriter.h"
#include "generate/randomsource.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

using namespace mixgen;

namespace {

QStringList songs(qsizetype count) {
    QStringList list;
    list.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        list.append(QStringLiteral("/home/user/Music/Artist %1/Album %2/Track %3.mp3")
                        .arg(i % 977)
                        .arg(i % 31)
                        .arg(i));
    return list;
}

// pickAndWrite into memory, the found list copied afresh outside the timing.
void BM_PickAndWrite(benchmark::State& state) {
    const FoundSongs all(songs(state.range(0)));
    const int requested = int(state.range(1));
    ClockSeededRandom random(1);
    for (auto _ : state) {
        state.PauseTiming();
        FoundSongs found = all;
        QStringList picked;
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            pickAndWrite(found, picked, requested, sink, "/bench.m3u", random));
    }
    state.SetItemsProcessed(state.iterations() * requested);
}
BENCHMARK(BM_PickAndWrite)
    ->Args({1'000'000, 100'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond);

// The same picks on a list that closes the gap after every removal: what the tree avoids.
void BM_ShiftingListPick(benchmark::State& state) {
    const QStringList all = songs(state.range(0));
    const int requested = int(state.range(1));
    ClockSeededRandom random(1);
    for (auto _ : state) {
        state.PauseTiming();
        QStringList found = all;
        found.detach();
        QStringList picked;
        state.ResumeTiming();
        for (int counter = 1; !found.isEmpty() && counter <= requested; ++counter) {
            random.reseed(random.timeOfDay() * 3.141592);
            const auto index = qsizetype(random.next() * double(found.size()));
            picked.append(found.takeAt(index));
        }
        benchmark::DoNotOptimize(picked.size());
    }
    state.SetItemsProcessed(state.iterations() * requested);
}
BENCHMARK(BM_ShiftingListPick)->Args({100'000, 10'000})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

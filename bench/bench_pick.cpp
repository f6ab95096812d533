// The pick's cost with a large found-songs list: the Fenwick tree against the list that moves
// every later song up after each pick; and the cost of decoding the list file while it grows.
#include "generate/balanceddraw.h"
#include "generate/playlistwriter.h"
#include "generate/randomsource.h"
#include "generate/songsearch.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

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

// Times pick(found, picked, requested, random) on a fresh copy of range(0) found songs, picking
// range(1) of them. The copy, and what the pick leaves to be freed, stay out of the timing;
// a pick that returns false ends the benchmark with an error.
template <typename Pick>
void timePicks(benchmark::State& state, Pick pick) {
    const FoundSongs all(songs(state.range(0)));
    const int requested = int(state.range(1));
    ClockSeededRandom random(1);
    for (auto _ : state) {
        state.PauseTiming();
        {
            FoundSongs found = all;
            PickedSongs picked;
            state.ResumeTiming();
            const bool done = pick(found, picked, requested, random);
            state.PauseTiming();
            if (!done)
                state.SkipWithError("the pick failed");
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * requested);
}

// The pick alone: the songs drawn and taken, no playlist written.
void BM_PickAndWrite(benchmark::State& state) {
    timePicks(state,
              [](FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random) {
                  benchmark::DoNotOptimize(pickAndWrite(found, picked, requested, random));
                  return true;
              });
}
BENCHMARK(BM_PickAndWrite)
    ->Args({1'000'000, 100'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond);

// The pick as a request makes it: the lines written into a fresh file beside the playlist while
// the songs are drawn (three threads), the file then flushed and put in the old one's place.
void BM_PickAndWriteFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString output = dir.filePath("mix.m3u");
    timePicks(state, [&output](FoundSongs& found, PickedSongs& picked, int requested,
                               RandomSource& random) {
        bool failed = false;
        benchmark::DoNotOptimize(pickAndWrite(found, picked, requested, output, random, &failed));
        return !failed;
    });
}
BENCHMARK(BM_PickAndWriteFile)
    ->Args({900'000, 100'000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same into a device, one write a line (tests, tools).
void BM_PickAndWriteToDevice(benchmark::State& state) {
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
BENCHMARK(BM_PickAndWriteToDevice)->Args({1'000'000, 100'000})->Unit(benchmark::kMillisecond);

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

// The fair draw ("/B") over range(0) songs in album folders of 8, listed folder by folder as
// the search lists them: the songs grouped by their folder, then range(1) of them drawn and taken.
void BM_BalancedDraw(benchmark::State& state) {
    QStringList albums;
    albums.reserve(state.range(0));
    for (qsizetype i = 0; i < state.range(0); ++i)
        albums.append(QStringLiteral("/home/user/Music/Artist %1/Album %2/Track %3.mp3")
                          .arg(i / 400, 5, 10, QLatin1Char('0'))
                          .arg(i / 8 % 50)
                          .arg(i % 8));
    const FoundSongs all(albums);
    ClockSeededRandom random(1);
    for (auto _ : state) {
        state.PauseTiming();
        {
            FoundSongs found = all;
            state.ResumeTiming();
            BalancedDraw draw(found);
            for (qsizetype i = 0; i < state.range(1) && !draw.isEmpty(); ++i)
                found.takeStored(draw.draw(random));
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BalancedDraw)->Args({1'000'000, 100})->Unit(benchmark::kMillisecond);

// A list file of about 65 MB as the interpreter writes it: 700000 lines of 94 bytes; every
// accentEvery-th name (none when 0) holds a byte that the table translates.
QByteArray listFile(int accentEvery) {
    QByteArray bytes;
    bytes.reserve(700'000 * 94);
    char line[128];
    for (int i = 0; i < 700'000; ++i) {
        const int length = std::snprintf(
            line, sizeof line,
            "/srv/music/The Artist Name %04d/An Album With A Title %02d/%03d - A Song With A "
            "Longer Name.mp3\r\n",
            i % 9973, i % 31, i % 997);
        if (accentEvery > 0 && i % accentEvery == 0)
            line[12] = '\x82';
        bytes.append(line, length);
    }
    return bytes;
}

// The reader polling a list that grows by 1 MiB between polls, then finishing it: what the
// program does while the interpreter runs and just after it ends. Only the reader is timed.
void BM_ReadGrowingList(benchmark::State& state) {
    constexpr qsizetype kStep = 1 << 20;
    const QByteArray bytes = listFile(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath("mixgen.lst");
    qsizetype songCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            QFile::remove(path);
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
            FoundSongs songs;
            SongListReader reader(path, songs);
            for (qsizetype at = 0; at < bytes.size(); at += kStep) {
                file.write(bytes.constData() + at, std::min(kStep, bytes.size() - at));
                state.ResumeTiming();
                reader.poll();
                state.PauseTiming();
            }
            state.ResumeTiming();
            reader.finish();
            songCount = songs.size();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["songs"] = double(songCount);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ReadGrowingList)
    ->Arg(0)  // plain names only
    ->Arg(40) // one name in 40 with an accented letter
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

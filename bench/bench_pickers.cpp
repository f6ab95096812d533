// The work behind a drop and behind opening a big folder in the pickers: 5001 and 100000
// dropped items (only the first 5000 are looked at), and a folder of 100000 entries listed
// in the folder and file lists' order.
#include "windows/droppedfolders.h"
#include "windows/pickerlists.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A folder of 5000 subfolders and 95000 empty song files, made once per run.
const QTemporaryDir& bigFolder() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        for (int i = 0; i < 5000; ++i)
            QDir(dir.path()).mkdir(QStringLiteral("d%1").arg(i, 5, 10, QChar(u'0')));
        for (int i = 0; i < 95000; ++i)
            QFile(dir.filePath(QStringLiteral("S%1.mp3").arg(i, 6, 10, QChar(u'0'))))
                .open(QIODevice::WriteOnly);
        made = true;
    }
    return dir;
}

void BM_Drop(benchmark::State& state) {
    const QTemporaryDir& dir = bigFolder();
    QList<QUrl> items;
    for (int i = 0; i < state.range(0); ++i)
        items.append(QUrl::fromLocalFile(
            dir.filePath(QStringLiteral("d%1").arg(i % 5000, 5, 10, QChar(u'0')))));
    for (auto _ : state)
        benchmark::DoNotOptimize(mixgen::appendDroppedFolders(QString(), items));
}
BENCHMARK(BM_Drop)->Arg(5001)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FolderList(benchmark::State& state) {
    const QString path = bigFolder().path();
    mixgen::FolderListModel model;
    for (auto _ : state)
        benchmark::DoNotOptimize(model.setFolder(path));
}
BENCHMARK(BM_FolderList)->Unit(benchmark::kMillisecond);

void BM_FileList(benchmark::State& state) {
    const QString path = bigFolder().path();
    mixgen::FileList list(nullptr);
    list.setPattern(QStringLiteral("*.MP3"));
    for (auto _ : state)
        benchmark::DoNotOptimize(list.setPath(path));
}
BENCHMARK(BM_FileList)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// One pick run as the program makes it after the search: read the list file in one go and
// translate it (the search's last step), then pick the songs and write the playlist.
// Prints the seconds the pick and the writing took, the list already in memory.
//   bench_pick_run <list file> <number of songs> <playlist>
#include "generate/playlistwriter.h"
#include "generate/randomsource.h"
#include "generate/songsearch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdio>

using namespace mixgen;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <list file> <number of songs> <playlist>\n", argv[0]);
        return 2;
    }
    QFile list(QFile::decodeName(argv[1]));
    if (!list.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    FoundSongs found;
    const QByteArray bytes = list.readAll();
    SongListDecoder(found).decodeLines(bytes.constData(), bytes.size(), true);
    const qsizetype total = found.size();
    const int requested = requestedSongCount(QString::fromLocal8Bit(argv[2]));

    QElapsedTimer timer;
    timer.start();
    PickedSongs picked;
    ClockSeededRandom random;
    const int written = pickAndWrite(found, picked, requested, QFile::decodeName(argv[3]), random);
    std::printf("%.3f\n", double(timer.nsecsElapsed()) / 1e9);
    return written == qMin<qsizetype>(requested, total) ? 0 : 1;
}

// Feeds the tag reader and the "#EXTINF" writer broken and hostile song files made by mutating
// a few good and bad ones, and checks that every line stays one line of valid UTF-8 of a
// bounded length. Meant to run under AddressSanitizer (scripts/fuzz-tags.sh); prints counts.
//
// Usage: fuzz_songtags <folder for the files> [iterations] [seed]
#include "generate/extendedm3u.h"
#include "generate/songtags.h"

#include "../generate/mp3files.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>
#include <random>

using namespace mixgen;
using namespace mixgen::test;

namespace {

QList<QByteArray> seeds() {
    const QByteArray audio = silentAudio(1);
    const QByteArray v1 = audio + "TAG" + QByteArray("Title").leftJustified(30, '\0') +
                          QByteArray("Artist").leftJustified(30, '\0') +
                          QByteArray(30 + 4 + 30 + 1, '\0');
    return {
        titledSong("Artist", "Title", 1),
        audio,
        v1,
        id3Tag(id3Frame("TIT2", "a\xC3\x28z\xFF") + id3Frame("TPE1", "\xED\xA0\x80")) + audio,
        id3Tag(id3Frame("TIT2", "line\r\nbreak") + id3Frame("TPE1", "x", 1)) + audio,
        id3Tag(id3Frame("TIT2", QByteArray(1 << 20, 'A'))) + audio,
        id3Tag(id3Frame("TIT2", "cut"), 1000).left(24),
        id3Tag(id3Frame("TIT2", "t"), 0x0FFFFFFF) + audio,
        QByteArray("ID3\x03\x00\x00\x00\x00\x00\x20TIT2\x00\x00\x00\x10\x00\x00\x01\xFF\xFEt\0i\0",
                   27) +
            audio,
        QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16) + QByteArray(24, '\1'),
        QByteArray("fLaC\x80\x00\x00\x22", 8) + QByteArray(34, '\x7F'),
        QByteArray("OggS\0\2", 6) + QByteArray(80, '\0'),
        QByteArray("Extended Module: ", 17) + QByteArray(400, 'x'),
        QByteArray("IMPM", 4) + QByteArray(400, '\xFF'),
    };
}

const char* const kExtensions[] = {"mp3", "mp2", "MP1", "wav", "wma", "flac", "ogg",
                                   "xm",  "it",  "mod", "s3m", "stm", "mpc"};

QByteArray mutate(QByteArray bytes, std::mt19937_64& random) {
    auto below = [&random](qsizetype n) {
        return n <= 0 ? 0 : qsizetype(random() % std::uint64_t(n));
    };
    const int steps = 1 + int(random() % 8);
    for (int s = 0; s < steps; ++s) {
        switch (random() % 7) {
        case 0: // flip bits
            if (!bytes.isEmpty())
                bytes[below(bytes.size())] ^= char(1 << (random() % 8));
            break;
        case 1: // a byte anywhere
            if (!bytes.isEmpty())
                bytes[below(bytes.size())] = char(random());
            break;
        case 2: // cut the file
            bytes.truncate(below(bytes.size() + 1));
            break;
        case 3: // bytes of a kind tags choke on
            bytes.insert(below(bytes.size() + 1),
                         QByteArray(1 + below(64), "\xFF\x00\r\n\x80\xC3"[random() % 6]));
            break;
        case 4: // a size field in a tag's or frame's header, big
            if (bytes.size() > 10)
                bytes[6 + below(4)] = char(0x7F);
            break;
        case 5: // a piece of the file again
            if (!bytes.isEmpty()) {
                const qsizetype at = below(bytes.size());
                bytes.insert(below(bytes.size()), bytes.mid(at, below(512)));
            }
            break;
        default: // a frame header in the middle
            bytes.insert(below(bytes.size() + 1), QByteArray("\xFF\xFB\x90\x00", 4));
        }
    }
    return bytes;
}

bool saneLine(const QByteArray& line) {
    return line.startsWith("#EXTINF:") && line.endsWith("\r\n") && line.count('\n') == 1 &&
           line.count('\r') == 1 && QString::fromUtf8(line).toUtf8() == line &&
           QString::fromUtf8(line).size() <= 2 * kMaxTagText + 30;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [iterations] [seed]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const long iterations = argc > 2 ? std::atol(argv[2]) : 10000;
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    const QList<QByteArray> start = seeds();

    long withLength = 0, withTitle = 0, broken = 0;
    double slowestMs = 0, totalMs = 0;
    for (long i = 0; i < iterations; ++i) {
        const QByteArray bytes = mutate(start[qsizetype(random() % start.size())], random);
        const char* extension = kExtensions[random() % std::size(kExtensions)];
        const QString path = folder + QStringLiteral("/song %1.%2").arg(i % 16).arg(extension);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return 2;
        file.close();
        const auto began = std::chrono::steady_clock::now();
        const SongTags tags = readSongTags(path.toUtf8());
        const QByteArray line = extinfLine(tags, path.toUtf8());
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                .count();
        totalMs += ms;
        slowestMs = std::max(slowestMs, ms);
        withLength += tags.seconds > 0;
        withTitle += !tags.title.isEmpty();
        if (!saneLine(line)) {
            ++broken;
            std::fprintf(stderr, "broken line for file %ld (%s): %s\n", i, extension,
                         line.toPercentEncoding().constData());
        }
    }
    std::printf("files %ld, with a length %ld, with a title %ld, broken lines %ld, "
                "slowest %.1f ms, mean %.2f ms\n",
                iterations, withLength, withTitle, broken, slowestMs, totalMs / double(iterations));
    return broken == 0 ? 0 : 1;
}

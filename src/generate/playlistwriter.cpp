#include "generate/playlistwriter.h"

#include "core/numbertext.h"
#include "generate/randomsource.h"
#include "platform/filereplacement.h"
#include "platform/messages.h"

#include <QIODevice>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

namespace mixgen {

// The index of r within a list of count entries: the whole part of r times count, kept inside
// the list whatever the generator hands out.
qsizetype pickIndex(double r, qsizetype count) {
    const double scaled = std::floor(r * double(count));
    if (!(scaled >= 0))
        return 0;
    if (scaled >= double(count))
        return count - 1;
    return qsizetype(scaled);
}

// One pick: a fresh seed before every single pick (the generator mixes it into its state),
// then the index of the next value within the songs left; returns the song's position in the
// store.
qsizetype drawStoredPosition(const FoundSongs& found, RandomSource& random) {
    random.reseed(random.timeOfDay() * 3.141592);
    return found.storedPosition(pickIndex(random.next(), found.size()));
}

namespace {

// The reason, when known, stands on a line of its own after the message.
void reportWriteFailure(const QString& outputPath, const QString& reason = QString()) {
    MsgBox(QStringLiteral("An error occured while trying to write to file ") +
               outputPath.toUpper() + QStringLiteral("\r\n") + reason,
           MsgButtons::Ok, MsgIcon::Exclamation);
}

// The gathered lines are handed on in pieces of about this size.
constexpr qsizetype kLinesPiece = qsizetype(1) << 20;

// Fetches the picked songs' names as the draw makes their positions known (drawn counts those
// ready), several at a time, and hands their lines on to out in pieces.
void gatherLines(const FoundSongs& found, const std::vector<qsizetype>& positions,
                 std::atomic<int>& drawn, const std::function<void(QByteArrayView)>& out) {
    // The memory is asked for the songs a few picks ahead, so that their fetches overlap.
    constexpr std::size_t kAhead = 16;
    std::size_t ready = 0;
    // One piece at a time: the lines are never all held at once.
    QByteArray piece;
    piece.reserve(kLinesPiece + 4096);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        while (i >= ready) {
            const int now = drawn.load(std::memory_order_acquire);
            ready = std::size_t(now);
            if (i < ready)
                break;
            drawn.wait(now, std::memory_order_acquire);
        }
        if (i + 2 * kAhead < ready)
            found.prefetchRecord(positions[i + 2 * kAhead]);
        if (i + kAhead < ready)
            found.prefetchName(positions[i + kAhead]);
        // The found songs are kept in UTF-8 already: the line is the song as it stands.
        piece.append(found.storedUtf8(positions[i]));
        piece.append("\r\n", 2);
        if (piece.size() >= kLinesPiece) {
            out(piece);
            piece.clear();
        }
    }
    out(piece);
}

// The pick: the draws are made on this thread one after another, each after its own re-seed;
// meanwhile a second thread fetches the names of the songs drawn from all over the store and
// hands their lines on, so that neither the fetching nor the writing adds to the time.
int pickLines(FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random,
              const std::function<void(QByteArrayView)>& out) {
    picked.clear();
    if (requested <= 0 || found.isEmpty())
        return 0;
    const auto count = std::size_t(std::min<qsizetype>(requested, found.size()));
    std::vector<qsizetype> positions(count);
    std::atomic<int> drawn{0};
    std::thread gatherer;
    if (out) {
        try {
            gatherer = std::thread(gatherLines, std::cref(found), std::cref(positions),
                                   std::ref(drawn), std::cref(out));
        } catch (const std::system_error&) {
            // No thread to be had: the names are fetched after the draws instead.
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        positions[i] = drawStoredPosition(found, random);
        found.takeStored(positions[i]);
        // Made known in batches, and the gatherer woken more seldom still: a count that changed
        // with every draw would keep both threads handing its cache line to and fro, and each
        // wake-up is a call into the system.
        const std::size_t done = i + 1;
        if (done % 256 == 0 || done == count)
            drawn.store(int(done), std::memory_order_release);
        if (done % 4096 == 0 || done == count)
            drawn.notify_one();
    }
    if (gatherer.joinable())
        gatherer.join();
    else if (out)
        gatherLines(found, positions, drawn, out);
    picked.assign(found, std::move(positions));
    return int(count);
}

} // namespace

int pickAndWrite(FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random) {
    return pickLines(found, picked, requested, random, {});
}

int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random) {
    PickedSongs done;
    QByteArray line; // one buffer for every line: no allocation per song
    for (int counter = 1; !found.isEmpty() && counter <= requested; ++counter) {
        const qsizetype position = drawStoredPosition(found, random);
        const QByteArrayView song = found.storedUtf8(position);
        line.clear();
        line.append(song);
        line.append("\r\n", 2);
        // A song leaves the found songs only once its line was written.
        if (sink.write(line) != line.size()) {
            reportWriteFailure(outputPath);
            break;
        }
        done.append(found, position);
        found.takeStored(position);
    }
    picked.append(done.entries());
    return int(done.size());
}

int pickAndWrite(QStringList& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random) {
    FoundSongs songs(found);
    const int count = pickAndWrite(songs, picked, requested, sink, outputPath, random);
    found = songs.toStringList();
    return count;
}

int pickAndWrite(FoundSongs& found, PickedSongs& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed) {
    picked.clear();
    // The playlist replaces the old file whole once it is complete, so a full disk or a
    // second request writing the same file never leaves a broken playlist behind.
    FileReplacement file(outputPath);
    if (!file.begin()) {
        reportWriteFailure(outputPath, file.why());
        if (writeFailed)
            *writeFailed = true;
        return 0;
    }
    // The lines go into the fresh file while the pick goes on; after a failed write nothing
    // more is written and the commit fails with its reason.
    const int count = pickLines(found, picked, requested, random,
                                [&file](QByteArrayView lines) { file.write(lines); });
    const bool written = file.commit();
    if (!written)
        reportWriteFailure(outputPath, file.why());
    if (writeFailed)
        *writeFailed = !written;
    return count;
}

int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed) {
    PickedSongs songs;
    const int count = pickAndWrite(found, songs, requested, outputPath, random, writeFailed);
    picked.append(songs.entries());
    return count;
}

int pickAndWrite(QStringList& found, QStringList& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed) {
    FoundSongs songs(found);
    const int count = pickAndWrite(songs, picked, requested, outputPath, random, writeFailed);
    found = songs.toStringList();
    return count;
}

int requestedSongCount(const QString& numberText) {
    return roundHalfEven(leadingNumericValue(numberText));
}

HandOff handOffFor(bool enqueueSwitch, bool openSwitch, const QString& actionSetting) {
    if (enqueueSwitch)
        return HandOff::Enqueue;
    if (openSwitch)
        return HandOff::Open;
    if (actionSetting.compare(QLatin1String("enqueue"), Qt::CaseInsensitive) == 0)
        return HandOff::Enqueue;
    if (actionSetting.compare(QLatin1String("play"), Qt::CaseInsensitive) == 0)
        return HandOff::Open;
    return HandOff::None;
}

} // namespace mixgen

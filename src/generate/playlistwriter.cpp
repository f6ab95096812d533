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

namespace {

// One pick's draw: a fresh seed before every single pick (the generator mixes it into its
// state), then the index of the next value within the count songs left.
qsizetype drawIndex(RandomSource& random, qsizetype count) {
    random.reseed(random.timeOfDay() * 3.141592);
    return pickIndex(random.next(), count);
}

} // namespace

qsizetype drawStoredPosition(const FoundSongs& found, RandomSource& random) {
    return found.storedPosition(drawIndex(random, found.size()));
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

// Makes the first `made` entries of a list that another thread fills known to it: in
// batches, and with wake-ups more seldom still, since a count that changed with every entry
// would keep both threads handing its cache line to and fro, and each wake-up is a call into
// the system.
void publish(std::atomic<int>& ready, std::size_t made, std::size_t count) {
    if (made % 256 == 0 || made == count)
        ready.store(int(made), std::memory_order_release);
    if (made % 4096 == 0 || made == count)
        ready.notify_one();
}

// Waits until entry i of a list that another thread fills is made; known caches the count
// seen last.
void awaitEntry(const std::atomic<int>& ready, std::size_t i, std::size_t& known) {
    while (i >= known) {
        const int now = ready.load(std::memory_order_acquire);
        known = std::size_t(now);
        if (i < known)
            break;
        ready.wait(now, std::memory_order_acquire);
    }
}

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
        awaitEntry(drawn, i, ready);
        if (i + 2 * kAhead < ready)
            found.prefetchRecord(positions[i + 2 * kAhead]);
        if (i + kAhead < ready)
            found.prefetchName(positions[i + kAhead]);
        // The found songs are kept in UTF-8 already: the line is the song as it stands.
        piece.append(found.storedUtf8(positions[i]));
        piece.append("\r\n", 2);
        if (piece.size() >= kLinesPiece) {
            out(piece);
            piece.resize(0); // keeps its room for the next piece
        }
    }
    out(piece);
}

// Below this many songs a pick is over before helper threads would have started.
constexpr std::size_t kLeastThreadedPick = 4096;

// The pick. Each draw's index among the songs left depends only on the generator and on how
// many songs are left, one fewer each time, so a helper thread makes the indices (each after
// its own re-seed) while this thread finds the song at each index and takes it; a second
// helper fetches the names of the songs taken from all over the store and hands their lines
// on. So neither the re-seeds, nor the fetching, nor the writing add much to the time.
int pickLines(FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random,
              const std::function<void(QByteArrayView)>& out) {
    picked.clear();
    if (requested <= 0 || found.isEmpty())
        return 0;
    const qsizetype left = found.size();
    const auto count = std::size_t(std::min<qsizetype>(requested, left));
    const bool threaded = count >= kLeastThreadedPick;
    std::vector<qsizetype> indices(count);
    std::atomic<int> indexed{0};
    const auto drawIndices = [&] {
        for (std::size_t i = 0; i < count; ++i) {
            indices[i] = drawIndex(random, left - qsizetype(i));
            publish(indexed, i + 1, count);
        }
    };
    std::vector<qsizetype> positions(count);
    std::atomic<int> drawn{0};
    std::thread drawer;
    std::thread gatherer;
    try {
        if (threaded)
            drawer = std::thread(drawIndices);
        if (out)
            gatherer = std::thread(gatherLines, std::cref(found), std::cref(positions),
                                   std::ref(drawn), std::cref(out));
    } catch (const std::system_error&) {
        // No thread to be had: what it would do is done here, before or after the draws.
    }
    if (!drawer.joinable())
        drawIndices();
    std::size_t known = 0;
    for (std::size_t i = 0; i < count; ++i) {
        awaitEntry(indexed, i, known);
        positions[i] = found.takeAt(indices[i]);
        publish(drawn, i + 1, count);
    }
    if (drawer.joinable())
        drawer.join();
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

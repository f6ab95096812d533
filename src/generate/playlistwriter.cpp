#include "generate/playlistwriter.h"

#include "core/numbertext.h"
#include "generate/randomsource.h"
#include "platform/filereplacement.h"
#include "platform/messages.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <vector>

namespace mixgen {

namespace {

// The reason, when known, stands on a line of its own after the message.
void reportWriteFailure(const QString& outputPath, const QString& reason = QString()) {
    MsgBox(QStringLiteral("An error occured while trying to write to file ") +
               outputPath.toUpper() + QStringLiteral("\r\n") + reason,
           MsgButtons::Ok, MsgIcon::Exclamation);
}

// The index of r within a list of count entries: the whole part of r times count, kept inside
// the list whatever the generator hands out.
qsizetype indexFor(double r, qsizetype count) {
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
qsizetype drawPosition(const FoundSongs& found, RandomSource& random) {
    random.reseed(random.timeOfDay() * 3.141592);
    return found.storedPosition(indexFor(random.next(), found.size()));
}

} // namespace

int pickAndWrite(FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random) {
    picked.clear();
    if (requested <= 0 || found.isEmpty())
        return 0;
    // First the picks alone: which songs, in order. Their names lie anywhere in a block of
    // tens of megabytes, and are fetched afterwards several at a time.
    std::vector<qsizetype> positions;
    positions.reserve(std::size_t(std::min<qsizetype>(requested, found.size())));
    for (int counter = 1; !found.isEmpty() && counter <= requested; ++counter) {
        const qsizetype position = drawPosition(found, random);
        found.takeStored(position);
        positions.push_back(position);
    }

    // No name is longer than the store that holds it.
    picked.reserve(qsizetype(positions.size()), found.storedBytes());
    // The memory is asked for the songs a few picks ahead, so that their fetches overlap.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i + 2 * kAhead < positions.size())
            found.prefetchRecord(positions[i + 2 * kAhead]);
        if (i + kAhead < positions.size())
            found.prefetchName(positions[i + kAhead]);
        // The found songs are kept in UTF-8 already: the line is the song as it stands.
        picked.append(found.storedUtf8(positions[i]));
    }
    return int(picked.size());
}

int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random) {
    PickedSongs done;
    QByteArray line; // one buffer for every line: no allocation per song
    for (int counter = 1; !found.isEmpty() && counter <= requested; ++counter) {
        const qsizetype position = drawPosition(found, random);
        const QByteArrayView song = found.storedUtf8(position);
        line.clear();
        line.append(song);
        line.append("\r\n", 2);
        // A song leaves the found songs only once its line was written.
        if (sink.write(line) != line.size()) {
            reportWriteFailure(outputPath);
            break;
        }
        done.append(song);
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
    const int count = pickAndWrite(found, picked, requested, random);
    const bool written = file.commit(picked.lines());
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

QString sequenceNumber(int counter) {
    return (QStringLiteral("0000") + QString::number(counter)).right(4);
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

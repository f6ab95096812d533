#include "generate/playlistwriter.h"

#include "core/numbertext.h"
#include "generate/randomsource.h"
#include "generate/remainingpositions.h"
#include "platform/filereplacement.h"
#include "platform/messages.h"

#include <QBuffer>
#include <QStringBuilder>

#include <cmath>

namespace mixgen {

namespace {

struct PickResult {
    int picked = 0;
    bool writeFailed = false;
};

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

PickResult pickInto(FoundSongs& found, QStringList& picked, int requested, QIODevice& sink,
                    const QString& outputPath, RandomSource& random) {
    PickResult result;
    if (requested <= 0 || found.isEmpty())
        return result;
    RemainingPositions positions(found.size());
    picked.reserve(picked.size() + std::min<qsizetype>(requested, found.size()));
    QByteArray line; // one buffer for every line: no allocation per song
    for (int counter = 1; positions.remaining() > 0 && counter <= requested; ++counter) {
        // A fresh seed before every single pick; the generator mixes it into its state.
        random.reseed(random.timeOfDay() * 3.141592);
        const qsizetype position =
            positions.positionAt(indexFor(random.next(), positions.remaining()));
        // The found songs are kept in UTF-8 already: the line is the song as it stands.
        const QByteArrayView song = found.utf8(position);
        line.clear();
        line.append(song);
        line.append("\r\n", 2);
        if (sink.write(line) != line.size()) {
            reportWriteFailure(outputPath);
            result.writeFailed = true;
            break;
        }
        picked.append(sequenceNumber(counter) % QLatin1Char(' ') % QString::fromUtf8(song));
        positions.take(position);
        ++result.picked;
    }
    // The songs that stay close up, in their order.
    found.keepOnly([&positions](qsizetype i) { return !positions.isTaken(i); });
    return result;
}

} // namespace

int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random) {
    return pickInto(found, picked, requested, sink, outputPath, random).picked;
}

int pickAndWrite(QStringList& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random) {
    FoundSongs songs(found);
    const int count = pickAndWrite(songs, picked, requested, sink, outputPath, random);
    found = songs.toStringList();
    return count;
}

int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed) {
    // The playlist replaces the old file whole once it is complete, so a full disk or a
    // second request writing the same file never leaves a broken playlist behind.
    FileReplacement file(outputPath);
    if (!file.begin()) {
        reportWriteFailure(outputPath, file.why());
        if (writeFailed)
            *writeFailed = true;
        return 0;
    }
    QBuffer lines;
    lines.open(QIODevice::WriteOnly);
    const int count = pickInto(found, picked, requested, lines, outputPath, random).picked;
    const bool written = file.commit(lines.data());
    if (!written)
        reportWriteFailure(outputPath, file.why());
    if (writeFailed)
        *writeFailed = !written;
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

#include "generate/playlistwriter.h"
#include "generate/remainingpositions.h"

#include "scriptedmessages.h"
#include "scriptedrandom.h"
#include "testenv.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <sys/stat.h>

using namespace mixgen;
using mixgen::test::ScriptedMessages;
using mixgen::test::ScriptedRandom;

namespace {

QStringList songs(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QStringLiteral("/music/song%1.mp3").arg(i));
    return list;
}

QList<double> drawsFrom(std::uint64_t seed, int count) {
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    QList<double> values;
    for (int i = 0; i < count; ++i)
        values.append(uniform(engine));
    return values;
}

// The pick as a list that closes the gap after every removal: the behaviour to match.
QStringList shiftingPick(QStringList& found, int requested, const QList<double>& values) {
    QStringList picked;
    for (int counter = 1; !found.isEmpty() && counter <= requested; ++counter) {
        const auto index = qsizetype(values.at(counter - 1) * double(found.size()));
        picked.append(found.takeAt(index));
    }
    return picked;
}

QStringList pathsOf(const QStringList& picked) {
    QStringList paths;
    for (const QString& entry : picked)
        paths.append(entry.mid(5));
    return paths;
}

// A device that takes a given number of writes and then fails.
class FailingDevice final : public QIODevice {
public:
    explicit FailingDevice(int writesAccepted) : m_left(writesAccepted) { open(WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_left-- <= 0)
            return -1;
        written.append(data, size);
        return size;
    }

private:
    int m_left;
};

} // namespace

// Catches an order-statistics lookup that strays from the shifting list (off by one at
// the edges of words and nodes, counts that are powers of two, the last entry, a tree of
// several levels of which only some songs are taken).
TEST(RemainingPositions, AgreesWithAShiftingList) {
    std::mt19937 engine(7);
    for (const int count : {1, 2, 3, 63, 64, 65, 1000, 1024, 1025, 2048, 3 * 1024 + 70, 16385,
                            300'000}) {
        std::vector<int> reference(count);
        for (int i = 0; i < count; ++i)
            reference[i] = i;
        RemainingPositions positions(count);
        const std::size_t keep = count > 20'000 ? reference.size() - 2'000 : 0;
        while (reference.size() > keep) {
            const auto index =
                std::uniform_int_distribution<int>(0, int(reference.size()) - 1)(engine);
            ASSERT_EQ(positions.takeAt(index), reference[index]) << "count " << count;
            reference.erase(reference.begin() + index);
            ASSERT_EQ(positions.remaining(), qsizetype(reference.size()));
        }
        if (!reference.empty()) {
            EXPECT_EQ(positions.positionAt(0), reference.front());
            EXPECT_EQ(positions.positionAt(qsizetype(reference.size()) - 1), reference.back());
        }
    }
}

// Catches a fast pick that chooses other songs than the shifting list would, or leaves the
// remaining songs out of order.
TEST(Pick, SameSongsAsTheShiftingListForTheSameValues) {
    for (const int requested : {1, 300, 4000, 5000, 6000}) {
        const QList<double> values = drawsFrom(requested, 5000);
        QStringList expectedFound = songs(5000);
        const QStringList expectedPicked = shiftingPick(expectedFound, requested, values);

        QStringList found = songs(5000);
        QStringList picked;
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        ScriptedRandom random(values);
        EXPECT_EQ(pickAndWrite(found, picked, requested, sink, "/out.m3u", random),
                  expectedPicked.size());
        EXPECT_EQ(pathsOf(picked), expectedPicked);
        EXPECT_EQ(found, expectedFound);
    }
}

// Catches a re-seed skipped or done only once, and a seed other than the time times 3.141592.
TEST(Pick, ReseedsFromTheTimeBeforeEveryPick) {
    QStringList found = songs(5);
    QStringList picked;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    ScriptedRandom random;
    pickAndWrite(found, picked, 3, sink, "/out.m3u", random);
    EXPECT_EQ(random.reseedsBeforeDraws, (QList<int>{1, 1, 1}));
    ASSERT_EQ(random.seeds.size(), 3);
    EXPECT_DOUBLE_EQ(random.seeds[0], 1000.25 * 3.141592);
    EXPECT_DOUBLE_EQ(random.seeds[2], 1000.75 * 3.141592);
}

// Catches picks past the end of the list (a crash) for values at or beyond the edges.
TEST(Pick, IndexStaysInsideTheList) {
    QStringList found = songs(4);
    QStringList picked;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    ScriptedRandom random(
        {1.0, std::nextafter(1.0, 0.0), -0.5, std::numeric_limits<double>::quiet_NaN()});
    EXPECT_EQ(pickAndWrite(found, picked, 4, sink, "/out.m3u", random), 4);
    EXPECT_EQ(pathsOf(picked), (QStringList{"/music/song3.mp3", "/music/song2.mp3",
                                            "/music/song0.mp3", "/music/song1.mp3"}));
    EXPECT_TRUE(found.isEmpty());
}

// Catches repeats, a count that ignores the songs found, and the found list not drained.
TEST(Pick, NoSongTwiceAndNeverMoreThanFound) {
    QStringList found = songs(3);
    QStringList picked;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    ScriptedRandom random;
    EXPECT_EQ(pickAndWrite(found, picked, 10, sink, "/out.m3u", random), 3);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(picked.size(), 3);
    EXPECT_TRUE(picked[0].startsWith("0001 /music/"));
    EXPECT_TRUE(picked[2].startsWith("0003 /music/"));
    EXPECT_EQ(QSet<QString>(picked.begin(), picked.end()).size(), 3);

    found = songs(10);
    picked.clear();
    EXPECT_EQ(pickAndWrite(found, picked, 3, sink, "/out.m3u", random), 3);
    EXPECT_EQ(found.size(), 7);
    QStringList all = found + pathsOf(picked);
    all.sort();
    QStringList expected = songs(10);
    expected.sort();
    EXPECT_EQ(all, expected);

    found = songs(10);
    picked.clear();
    EXPECT_EQ(pickAndWrite(found, picked, 0, sink, "/out.m3u", random), 0);
    EXPECT_EQ(pickAndWrite(found, picked, -5, sink, "/out.m3u", random), 0);
    EXPECT_EQ(found, songs(10));
}

// Catches sequence numbers that are not the last four digits (10000 must read 0000) and
// numbers leaking into the playlist file.
TEST(Pick, SequenceNumbersWrapAfter9999AndStayOutOfTheFile) {
    EXPECT_EQ(sequenceNumber(1), "0001");
    EXPECT_EQ(sequenceNumber(9999), "9999");
    EXPECT_EQ(sequenceNumber(10000), "0000");
    EXPECT_EQ(sequenceNumber(10001), "0001");
    EXPECT_EQ(sequenceNumber(123456), "3456");

    QStringList found = songs(10001);
    QStringList picked;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    ScriptedRandom random;
    ASSERT_EQ(pickAndWrite(found, picked, 10001, sink, "/out.m3u", random), 10001);
    EXPECT_TRUE(picked[9999].startsWith("0000 /music/"));
    EXPECT_TRUE(picked[10000].startsWith("0001 /music/"));
    const QList<QByteArray> lines = sink.data().split('\n');
    EXPECT_EQ(lines.size(), 10002);
    EXPECT_EQ(lines[9999], pathsOf(picked)[9999].toUtf8() + "\r");
}

// Catches a header line, lines without CR LF (the last one too), a wrong order, another
// encoding than UTF-8, and a playlist file left with old content when nothing is found.
TEST(PlaylistFile, OnePathPerCrLfLineInPickOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = dir.filePath("party.m3u");
    ScriptedMessages messages; // no box at all
    QStringList found{"/m/a.mp3", QStringLiteral("/m/caf\u00e9.mp3"), "/m/_.mp3"};
    QStringList picked;
    ScriptedRandom random({0.9, 0.0, 0.0});
    bool writeFailed = true;
    EXPECT_EQ(pickAndWrite(found, picked, 3, output, random, &writeFailed), 3);
    EXPECT_FALSE(writeFailed);
    EXPECT_EQ(test::readFile(output), "/m/_.mp3\r\n/m/a.mp3\r\n/m/caf\xc3\xa9.mp3\r\n");
    EXPECT_EQ(picked, (QStringList{"0001 /m/_.mp3", "0002 /m/a.mp3",
                                   QStringLiteral("0003 /m/caf\u00e9.mp3")}));

    test::writeFile(output, "old playlist\r\n");
    QStringList nothing;
    EXPECT_EQ(pickAndWrite(nothing, picked, 5, output, random), 0);
    EXPECT_TRUE(QFileInfo(output).isFile());
    EXPECT_EQ(QFileInfo(output).size(), 0);
}

// Catches write failures passed over in silence, the wrong text (the path in capitals, one
// line break), and the songs picked before the failure lost.
TEST(PlaylistFile, WriteFailureIsReportedAndThePartialResultKept) {
    const QString message = QStringLiteral("An error occured while trying to write to file ");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Below a regular file, in a folder that does not exist, and a folder itself.
    for (const QString& output :
         {QStringLiteral("/etc/passwd/Mix.m3u"), dir.filePath("missing/Mix.m3u"), dir.path()}) {
        ScriptedMessages messages;
        messages.expect(message);
        QStringList found = songs(3);
        QStringList picked;
        ScriptedRandom random;
        EXPECT_EQ(pickAndWrite(found, picked, 3, output, random), 0);
        ASSERT_EQ(messages.shown().size(), 1);
        // The system's reason follows on a line of its own.
        const QString text = messages.shown().first().text;
        EXPECT_TRUE(text.startsWith(message + output.toUpper() + "\r\n")) << text.toStdString();
        EXPECT_GT(text.size(), (message + output + "\r\n").size()) << "no reason given";
        EXPECT_EQ(messages.shown().first().icon, MsgIcon::Exclamation);
        EXPECT_EQ(found, songs(3));
        EXPECT_TRUE(picked.isEmpty());
    }
    {
        ScriptedMessages messages;
        messages.expect(message + "/OUT.M3U\r\n");
        QStringList found = songs(10);
        QStringList picked;
        FailingDevice sink(4);
        ScriptedRandom random({0.0, 0.0, 0.0, 0.0, 0.0});
        EXPECT_EQ(pickAndWrite(found, picked, 10, sink, "/out.m3u", random), 4);
        EXPECT_EQ(pathsOf(picked), songs(4));
        EXPECT_EQ(sink.written, "/music/song0.mp3\r\n/music/song1.mp3\r\n/music/song2.mp3\r\n"
                                "/music/song3.mp3\r\n");
        EXPECT_EQ(found, songs(10).mid(4));
        EXPECT_EQ(messages.shown().size(), 1);
    }
}

// Catches a full disk that destroys the old playlist or leaves half a line (a file-size limit
// stands in for the full disk), a failure counted as success, and a pipe or device named as
// the output that blocks the program.
TEST(PlaylistFile, FailedWriteKeepsTheOldPlaylistWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = dir.filePath("Mix.m3u");
    test::writeFile(output, "/old/song.mp3\r\n");
    QStringList found = songs(50);
    QStringList picked;
    ScriptedRandom random;
    bool writeFailed = false;
    {
        const test::FileSizeLimit limit(64);
        ScriptedMessages messages;
        messages.expect("An error occured while trying to write to file " + output.toUpper());
        pickAndWrite(found, picked, 50, output, random, &writeFailed);
        EXPECT_EQ(messages.shown().size(), 1);
    }
    EXPECT_TRUE(writeFailed);
    EXPECT_EQ(test::readFile(output), "/old/song.mp3\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Mix.m3u"});

    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.m3u")).constData(), 0600), 0);
    for (const QString& special : {dir.filePath("pipe.m3u"), QStringLiteral("/dev/full")}) {
        ScriptedMessages messages;
        messages.expect("An error occured while trying to write to file " + special.toUpper() +
                        "\r\nIt is not a regular file.");
        found = songs(5);
        EXPECT_EQ(pickAndWrite(found, picked, 5, special, random, &writeFailed), 0);
        EXPECT_TRUE(writeFailed);
    }
}

// Catches a playlist written in place (a second writer's lines mixed in, a link replaced by a
// plain file, the user's permissions lost).
TEST(PlaylistFile, ReplacedWholeThroughALinkKeepingItsMode) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("real.m3u");
    test::writeFile(target, "/old.mp3\r\n");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(target, dir.filePath("link.m3u")));
    ScriptedMessages messages;
    QStringList found = songs(3);
    QStringList picked;
    ScriptedRandom random({0.0, 0.0, 0.0});
    EXPECT_EQ(pickAndWrite(found, picked, 3, dir.filePath("link.m3u"), random), 3);
    EXPECT_TRUE(QFileInfo(dir.filePath("link.m3u")).isSymLink());
    EXPECT_EQ(test::readFile(target),
              "/music/song0.mp3\r\n/music/song1.mp3\r\n/music/song2.mp3\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Catches a requested number truncated or rounded half up instead of half to even.
TEST(Pick, RequestedNumberFromTheNumberBox) {
    EXPECT_EQ(requestedSongCount("50"), 50);
    EXPECT_EQ(requestedSongCount("2.5"), 2);
    EXPECT_EQ(requestedSongCount("3.5"), 4);
    EXPECT_EQ(requestedSongCount("7.6 songs"), 8);
    EXPECT_EQ(requestedSongCount("  12abc"), 12);
    EXPECT_EQ(requestedSongCount("abc"), 0);
}

// Catches the wrong precedence of the switches and a case-sensitive "Action".
TEST(HandOff, SwitchesFirstThenTheActionSetting) {
    EXPECT_EQ(handOffFor(true, true, "Play"), HandOff::Enqueue);
    EXPECT_EQ(handOffFor(false, true, "Enqueue"), HandOff::Open);
    EXPECT_EQ(handOffFor(false, false, "eNQUEUE"), HandOff::Enqueue);
    EXPECT_EQ(handOffFor(false, false, "PLAY"), HandOff::Open);
    EXPECT_EQ(handOffFor(false, false, "None"), HandOff::None);
    EXPECT_EQ(handOffFor(false, false, "play "), HandOff::None);
    EXPECT_EQ(handOffFor(false, false, ""), HandOff::None);
}

// Catches songs left over that are read past the pick's marks (a taken song still listed, the
// order changed), a second pick from the same list that forgets the first, a copy or a new
// song that brings taken songs back, and playlist lines that differ from the entries shown.
TEST(Pick, SongsLeftAfterAPickAreTheShiftingListsLeftovers) {
    const QList<double> values = drawsFrom(3, 900);
    QStringList expectedFound = songs(1000);
    const QStringList expectedPicked = shiftingPick(expectedFound, 900, values);

    FoundSongs found(songs(1000));
    PickedSongs picked;
    ScriptedRandom random(values.mid(0, 600));
    ASSERT_EQ(pickAndWrite(found, picked, 600, random), 600);
    QByteArray lines;
    for (const QString& song : expectedPicked.mid(0, 600))
        lines.append(song.toUtf8() + "\r\n");
    QByteArray pickedLines;
    for (qsizetype i = 0; i < picked.size(); ++i)
        pickedLines.append(picked.utf8(i).toByteArray() + "\r\n");
    EXPECT_EQ(pickedLines, lines);
    EXPECT_EQ(picked.entry(599), "0600 " + expectedPicked[599]);

    ScriptedRandom more(values.mid(600));
    ASSERT_EQ(pickAndWrite(found, picked, 300, more), 300);
    EXPECT_EQ(picked.entries().first(), "0001 " + expectedPicked[600]);
    ASSERT_EQ(found.size(), 100);
    for (qsizetype i = 0; i < found.size(); ++i)
        ASSERT_EQ(found.at(i), expectedFound[i]) << "index " << i;
    EXPECT_EQ(found.toStringList(), expectedFound);
    EXPECT_EQ(FoundSongs(found).toStringList(), expectedFound);

    found.append("/music/new.mp3");
    expectedFound.append("/music/new.mp3");
    EXPECT_EQ(found.toStringList(), expectedFound);
    EXPECT_EQ(found.at(100), "/music/new.mp3");
}

// Catches a playlist written in pieces that loses, repeats or reorders lines at a piece's
// edge, and a write that fails after the first piece but is taken for success or leaves part
// of a playlist behind.
TEST(PlaylistFile, LargePickWrittenInPieces) {
    QStringList all;
    for (int i = 0; i < 40'000; ++i)
        all.append(
            QStringLiteral("/music/a rather long folder name %1/and a longer song name %2.mp3")
                .arg(i % 300)
                .arg(i));
    const QList<double> values = drawsFrom(5, 30'000);
    QStringList left = all;
    const QStringList expected = shiftingPick(left, 30'000, values);
    QByteArray lines;
    for (const QString& song : expected)
        lines.append(song.toUtf8() + "\r\n");
    ASSERT_GT(lines.size(), 1 << 21); // at least two whole pieces

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = dir.filePath("Mix.m3u");
    ScriptedMessages messages;
    FoundSongs found(all);
    PickedSongs picked;
    ScriptedRandom random(values);
    EXPECT_EQ(pickAndWrite(found, picked, 30'000, output, random), 30'000);
    EXPECT_EQ(test::readFile(output), lines);
    EXPECT_EQ(picked.entry(29'999), "0000 " + expected.last());
    EXPECT_EQ(found.toStringList(), left);

    test::writeFile(output, "/old/song.mp3\r\n");
    messages.expect("An error occured while trying to write to file " + output.toUpper());
    found = FoundSongs(all);
    ScriptedRandom again(values);
    bool writeFailed = false;
    {
        const test::FileSizeLimit limit((1 << 20) + 4096);
        EXPECT_EQ(pickAndWrite(found, picked, 30'000, output, again, &writeFailed), 30'000);
    }
    EXPECT_TRUE(writeFailed);
    EXPECT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(picked.size(), 30'000) << "the picks are shown even when the file failed";
    EXPECT_EQ(test::readFile(output), "/old/song.mp3\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Mix.m3u"});
}

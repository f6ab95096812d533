// The pick with a playlist style: a length target, the fair draw, extended entries and
// relative paths, over real song files.
#include "generate/balanceddraw.h"
#include "generate/lengthtarget.h"
#include "generate/relativepaths.h"
#include "generate/styledpick.h"

#include "mp3files.h"
#include "scriptedmessages.h"
#include "scriptedrandom.h"
#include "testenv.h"

#include <QDirIterator>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mixgen;
using namespace mixgen::test;

namespace {

// A song whose stream TagLib measures at about the given seconds in a few hundred bytes: its
// first frame carries a Xing header that counts the frames.
QByteArray songOfLength(int seconds) {
    QByteArray frame = silentFrame();
    const auto frames = quint32(seconds * 44100.0 / 1152 + 0.5);
    QByteArray xing("Xing\0\0\0\3", 8);
    for (quint32 value : {frames, frames * 417})
        for (int shift : {24, 16, 8, 0})
            xing.append(char((value >> shift) & 0xFF));
    frame.replace(36, xing.size(), xing); // after the header and the side information
    return frame + silentFrame();
}

// The styled pick of songs, as the paths it picked.
StyledPickResult pick(QStringList songs, QStringList& picked, int requested,
                      const PlaylistStyle& style, ScriptedRandom& random,
                      QByteArray* bytes = nullptr, const QString& playlist = QString()) {
    FoundSongs found(songs);
    PickedSongs pickedSongs;
    const StyledPickResult result =
        pickStyled(found, pickedSongs, requested, random, style, playlist,
                   [bytes](QByteArrayView piece) {
                       if (bytes)
                           bytes->append(piece);
                   });
    picked.clear();
    for (qsizetype i = 0; i < pickedSongs.size(); ++i)
        picked.append(QString::fromUtf8(pickedSongs.utf8(i)));
    return result;
}

// Catches an off-by-one at the target's edges: a song that ends exactly on the target is
// added, one that passes it is set aside, and the draws stop within two minutes of it.
TEST(LengthTarget, EdgesOfTheTarget) {
    LengthTarget ten(10);
    EXPECT_TRUE(ten.offer(479));
    EXPECT_FALSE(ten.reached()); // 121 seconds short
    EXPECT_FALSE(ten.offer(122));
    EXPECT_TRUE(ten.offer(1));
    EXPECT_TRUE(ten.reached()); // 120 seconds short
    EXPECT_TRUE(ten.offer(120));
    EXPECT_EQ(ten.totalSeconds(), 600);
    EXPECT_FALSE(ten.offer(1));

    LengthTarget unknown(3);
    EXPECT_TRUE(unknown.offer(-1)); // counts three minutes
    EXPECT_EQ(unknown.totalSeconds(), 180);
    EXPECT_EQ(lengthText(59), "0:59");
    EXPECT_EQ(lengthText(3600 + 62), "1:01:02");
}

// Catches a length target that adds a song passing it, stops early on a library shorter
// than the target, or lets the number of songs no longer cap it.
TEST(StyledPick, LengthTargetOverRealFiles) {
    QTemporaryDir dir;
    QStringList songs;
    for (int i = 0; i < 3; ++i) {
        songs.append(dir.path() + QStringLiteral("/short %1.mp3").arg(i));
        ASSERT_TRUE(writeSong(songs.last(), songOfLength(150)));
    }
    songs.append(dir.path() + "/long.mp3");
    ASSERT_TRUE(writeSong(songs.last(), songOfLength(1000)));

    PlaylistStyle style;
    style.minutes = 10;
    for (int run = 0; run < 5; ++run) {
        ScriptedRandom random({}, std::uint64_t(run + 1));
        QStringList picked;
        const StyledPickResult result = pick(songs, picked, 1000, style, random);
        EXPECT_EQ(result.count, 3);
        EXPECT_FALSE(picked.contains(dir.path() + "/long.mp3"));
        EXPECT_NEAR(double(result.totalSeconds), 450, 3);
    }
    ScriptedRandom random;
    QStringList picked;
    EXPECT_EQ(pick(songs, picked, 2, style, random).count, 2);

    // Songs of unknown length count three minutes each: 540 seconds is within two minutes
    // of a ten-minute target.
    QStringList unknown;
    EXPECT_EQ(pick({"/nowhere/1.mp3", "/nowhere/2.mp3", "/nowhere/3.mp3", "/nowhere/4.mp3"},
                   unknown, 1000, style, random)
                  .count,
              3);
}

// Catches a balanced draw that favours big folders: 1000 one-song playlists from a folder of
// 300 songs and thirty folders of 10 must give each folder about the same share (chi-square
// below 59.7, the 0.1% point for 30 degrees of freedom); the plain draw must not.
TEST(StyledPick, BalanceGivesEveryFolderTheSameShare) {
    QStringList songs;
    for (int i = 0; i < 300; ++i)
        songs.append(QStringLiteral("/music/Box set/%1.mp3").arg(i));
    for (int folder = 0; folder < 30; ++folder)
        for (int i = 0; i < 10; ++i)
            songs.append(QStringLiteral("/music/Album %1/%2.mp3").arg(folder).arg(i));

    auto chiSquare = [&songs](bool balance) {
        PlaylistStyle style;
        style.balance = balance;
        style.relative = !balance; // a style, so that the plain draw runs the same way
        ScriptedRandom random({}, 2024);
        QHash<QString, int> counts;
        for (int run = 0; run < 1000; ++run) {
            QStringList picked;
            pick(songs, picked, 1, style, random);
            const QString path = picked.value(0);
            ++counts[path.section(u'/', 0, -2)];
        }
        const double expected = 1000.0 / 31;
        double sum = 0;
        for (int folder = -1; folder < 30; ++folder) {
            const QString name = folder < 0 ? QStringLiteral("/music/Box set")
                                            : QStringLiteral("/music/Album %1").arg(folder);
            const double d = counts.value(name) - expected;
            sum += d * d / expected;
        }
        return sum;
    };
    EXPECT_LT(chiSquare(true), 59.7);
    EXPECT_GT(chiSquare(false), 59.7);

    // Without repeats, and a folder that runs out drops out: every song comes once.
    PlaylistStyle balance;
    balance.balance = true;
    ScriptedRandom random;
    QStringList picked;
    pick(songs, picked, 100000, balance, random);
    picked.sort();
    QStringList expected = songs;
    expected.sort();
    EXPECT_EQ(picked, expected);
}

// Catches a fair draw that counts a folder twice when the search lists it once for each
// pattern, or that puts a subfolder's songs, listed between them, in its parent.
TEST(StyledPick, BalanceKnowsAFolderAcrossItsRuns) {
    QStringList songs;
    for (int i = 0; i < 5; ++i)
        songs << QStringLiteral("/music/A/%1.mp3").arg(i)
              << QStringLiteral("/music/A/Live/%1.mp3").arg(i);
    songs.sort(); // as one pattern lists them: A's songs, then those of A/Live
    songs << "/music/B/1.mp3"
          << "/music/A/5.wma"
          << "/music/A/6.wma"
          << "/music/Ab/1.wma";
    FoundSongs found(songs);
    BalancedDraw draw(found);
    EXPECT_EQ(draw.folderCount(), 4); // A, A/Live, B, Ab

    ScriptedRandom random;
    QStringList drawn;
    while (!draw.isEmpty()) {
        const qsizetype position = draw.draw(random);
        drawn << QString::fromUtf8(found.storedUtf8(position));
        found.takeStored(position);
    }
    drawn.sort();
    songs.sort();
    EXPECT_EQ(drawn, songs);
}

// Catches an extended playlist without its header, an entry without its "#EXTINF" line, or
// lines that are not CR LF ended.
TEST(StyledPick, ExtendedEntriesBeforeEveryPath) {
    QTemporaryDir dir;
    const QString tagged = dir.path() + "/tagged.mp3";
    const QString bare = dir.path() + "/Bare one.mp3";
    ASSERT_TRUE(writeSong(tagged, titledSong("Artist", "Title", 5)));
    ASSERT_TRUE(writeSong(bare, silentAudio(3)));
    PlaylistStyle style;
    style.extended = true;
    ScriptedRandom random;
    QStringList picked;
    QByteArray bytes;
    EXPECT_EQ(pick({tagged, bare}, picked, 10, style, random, &bytes).count, 2);

    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 6); // five lines, each ended
    EXPECT_EQ(lines[0], "#EXTM3U\r");
    for (int i = 0; i < 2; ++i) {
        const QByteArray path = picked[i].toUtf8();
        const QByteArray info = path == tagged.toUtf8() ? "Artist - Title\r" : "Bare one\r";
        EXPECT_TRUE(lines[1 + 2 * i].startsWith("#EXTINF:")) << lines[1 + 2 * i].constData();
        EXPECT_TRUE(lines[1 + 2 * i].endsWith("," + info)) << lines[1 + 2 * i].constData();
        EXPECT_EQ(lines[2 + 2 * i], path + "\r");
    }
}

// Catches relative paths that go up the wrong number of folders, that are made across
// volumes, or that do not follow the playlist's folder to where it really is.
TEST(RelativePaths, UpAsNeededOnTheSameVolumeOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/real/lists"));
    ASSERT_TRUE(QFile::link(dir.path() + "/real/lists", dir.path() + "/linked"));
    const QString real = QFileInfo(dir.path()).canonicalFilePath() + "/real";
    const RelativePaths paths(dir.path() + "/linked/mix.m3u"); // really in real/lists
    EXPECT_EQ(paths.pathFor((real + "/lists/a.mp3").toUtf8(), true), "a.mp3");
    EXPECT_EQ(paths.pathFor((real + "/lists/sub/a.mp3").toUtf8(), true), "sub/a.mp3");
    EXPECT_EQ(paths.pathFor((real + "/music/x/a.mp3").toUtf8(), true), "../music/x/a.mp3");
    EXPECT_EQ(paths.pathFor((real + "/listsx/a.mp3").toUtf8(), true), "../listsx/a.mp3");
    EXPECT_EQ(paths.pathFor("/elsewhere/a.mp3", false), "/elsewhere/a.mp3");
    const QByteArray up = paths.pathFor("/elsewhere/a.mp3", true);
    EXPECT_TRUE(up.startsWith("../../") && up.endsWith("/elsewhere/a.mp3")) << up.constData();
}

// Catches a playlist that does not travel: copied with its music to another place, a real
// player must play every entry from there, the original being gone.
TEST(StyledPick, RelativePlaylistTravelsWithItsMusic) {
    const QString player = QStandardPaths::findExecutable("mpg123");
    if (player.isEmpty())
        GTEST_SKIP() << "mpg123 is not installed (scripts/setup.sh installs it)";
    QTemporaryDir dir;
    const QString tree = dir.path() + "/stick";
    QStringList songs;
    for (const char* name : {"Band/Album one/01 Intro.mp3", "Band/Album one/02 Ünïcode.mp3",
                             "Other/Live at #1.mp3", "lists/here.mp3"}) {
        songs.append(tree + "/music/" + name);
        ASSERT_TRUE(writeSong(songs.last(), titledSong("A", "T", 1)));
    }
    const QString playlist = tree + "/music/lists/mix.m3u";
    PlaylistStyle style;
    style.relative = true;
    style.extended = true;
    FoundSongs found(songs);
    PickedSongs picked;
    ScriptedRandom random;
    ScriptedMessages messages;
    EXPECT_EQ(pickAndWriteStyled(found, picked, 10, playlist, random, style).count, 4);
    QFile file(playlist);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("\r\n../Band/Album one/01 Intro.mp3\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nhere.mp3\r\n"));
    EXPECT_FALSE(bytes.contains(dir.path().toUtf8()));

    const QString copy = dir.path() + "/phone";
    ASSERT_EQ(QProcess::execute("cp", {"-r", tree, copy}), 0);
    ASSERT_TRUE(QDir(tree).removeRecursively());
    QProcess play;
    play.setWorkingDirectory(dir.path());
    play.start(player, {"-t", "-q", "-@", copy + "/music/lists/mix.m3u"});
    ASSERT_TRUE(play.waitForFinished(60000));
    EXPECT_EQ(play.exitCode(), 0) << play.readAllStandardError().toStdString();
}

} // namespace

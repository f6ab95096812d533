// Tags read for the drawn songs, and the "#EXTINF" lines made of them, from good and from
// broken or hostile files.
#include "generate/extendedm3u.h"
#include "generate/songtags.h"

#include "mp3files.h"
#include "testenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mixgen;
using namespace mixgen::test;

namespace {

class SongTagsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString song(const QString& name, const QByteArray& bytes) {
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(writeSong(path, bytes));
        return path;
    }
    static SongTags tagsOf(const QString& path) { return readSongTags(path.toUtf8()); }
    static QByteArray lineOf(const QString& path) {
        return extinfLine(tagsOf(path), path.toUtf8());
    }
};

// Catches tags or lengths that are not read, and a length not taken from the audio stream
// of a file that has no tags.
TEST_F(SongTagsTest, LengthArtistAndTitle) {
    const SongTags tagged = tagsOf(song("tagged.mp3", titledSong("Björk", "Jóga", 30)));
    EXPECT_NEAR(tagged.seconds, 30, 1);
    EXPECT_EQ(tagged.artist, QStringLiteral("Björk"));
    EXPECT_EQ(tagged.title, QStringLiteral("Jóga"));
    EXPECT_EQ(lineOf(dir.path() + "/tagged.mp3"),
              "#EXTINF:" + QByteArray::number(tagged.seconds) + ",Björk - Jóga\r\n");

    const QString bare = song("Disc 1/07 Bare song.mp3", silentAudio(12));
    EXPECT_NEAR(tagsOf(bare).seconds, 12, 1);
    EXPECT_EQ(lineOf(bare),
              "#EXTINF:" + QByteArray::number(tagsOf(bare).seconds) + ",07 Bare song\r\n");
}

// Catches a tracker file or an unreadable song getting a made-up length instead of -1.
TEST_F(SongTagsTest, UnknownLengthIsMinusOne) {
    const QString tracker = song("tune.mod", QByteArray(2048, '\0'));
    EXPECT_EQ(tagsOf(tracker).seconds, -1);
    EXPECT_EQ(lineOf(tracker), "#EXTINF:-1,tune\r\n");
    EXPECT_EQ(lineOf(dir.path() + "/missing.mp3"), "#EXTINF:-1,missing\r\n");
}

// Catches a broken or hostile file that crashes the reader, hangs it, or breaks a line of
// the playlist: every line must stay one line of valid UTF-8 of a bounded length.
TEST_F(SongTagsTest, BrokenAndHostileFilesGiveOneSaneLine) {
    const QByteArray audio = silentAudio(2);
    QList<QString> paths = {
        song("truncated.mp3", id3Tag(id3Frame("TIT2", "cut off"), 1000).left(24)),
        song("huge title.mp3", id3Tag(id3Frame("TIT2", QByteArray(10 << 20, 'A'))) + audio),
        song("bad utf8.mp3",
             id3Tag(id3Frame("TIT2", "a\xC3\x28z\xFF\xFE") + id3Frame("TPE1", "\xED\xA0\x80")) +
                 audio),
        song("crlf.mp3", id3Tag(id3Frame("TPE1", "Evil\r\n#EXTINF:1,x") +
                                id3Frame("TIT2", "line\rone\nline\xC2\x85two")) +
                             audio),
        song("frame too big.mp3", id3Tag(QByteArray("TIT2\x7F\x7F\x7F\x7F\0\0\3x", 12)) + audio),
        song("tag too big.mp3", id3Tag(id3Frame("TIT2", "t"), 0x0FFFFFFF) + audio),
        song("latin1.mp3", id3Tag(id3Frame("TIT2", "caf\xE9", 0)) + audio),
        song("noise.mp3", QByteArray(64 << 10, '\xFF')),
    };
    // A pipe and a folder named like songs are not opened as songs (a pipe would block).
    const QString pipe = dir.path() + "/pipe.mp3";
    ASSERT_EQ(::mkfifo(pipe.toUtf8().constData(), 0600), 0);
    paths.append(pipe);
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/folder.mp3"));
    paths.append(dir.path() + "/folder.mp3");

    for (const QString& path : paths) {
        const QByteArray line = lineOf(path);
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(line.startsWith("#EXTINF:"));
        EXPECT_TRUE(line.endsWith("\r\n"));
        EXPECT_EQ(line.count('\n'), 1);
        EXPECT_EQ(line.count('\r'), 1);
        EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line); // valid UTF-8
        EXPECT_LE(QString::fromUtf8(line).size(), 2 * kMaxTagText + 30);
    }
    EXPECT_TRUE(lineOf(dir.path() + "/crlf.mp3").contains("Evil #EXTINF:1,x - line one line two"))
        << lineOf(dir.path() + "/crlf.mp3").toStdString();
    EXPECT_EQ(tagsOf(pipe).seconds, -1);
}

} // namespace

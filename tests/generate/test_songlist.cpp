#include "generate/songsearch.h"

#include "platform/appinfo.h"
#include "scriptedmessages.h"
#include "testenv.h"

#include <QFile>
#include <QTemporaryDir>

#include <random>

#include <gtest/gtest.h>

using namespace mixgen;
using mixgen::test::ScriptedMessages;

namespace {

const QString kWarningStart =
    QStringLiteral("Warning! Unsupported character(s) found in filename:");

QStringList decoded(const QByteArray& bytes) {
    QStringList songs;
    decodeSongList(bytes, songs);
    return songs;
}

void append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace

// Catches CR left on names, a last line without its end lost, and lines merged or split.
TEST(SongList, OneSongPerLine) {
    EXPECT_EQ(decoded("/m/a.mp3\r\n/m/b c.mp3\r\n"), (QStringList{"/m/a.mp3", "/m/b c.mp3"}));
    EXPECT_EQ(decoded("/m/a.mp3\n/m/b.mp3"), (QStringList{"/m/a.mp3", "/m/b.mp3"}));
    EXPECT_EQ(decoded(""), QStringList{});
    QStringList kept{"/earlier.mp3"};
    decodeSongList("/m/x.mp3\r\n", kept);
    EXPECT_EQ(kept, (QStringList{"/earlier.mp3", "/m/x.mp3"}));
}

// Catches a name in any script changed on its way to the found songs, or warned about: the
// list holds the names' own UTF-8 bytes.
TEST(SongList, ValidNamesArriveExactly) {
    ScriptedMessages messages;
    const QStringList names = {
        QStringLiteral("/music/Кино/Группа крови.mp3"),
        QStringLiteral("/music/日本/夜に駆ける.mp3"),
        QStringLiteral("/music/Ελληνικά.mp3"),
        QStringLiteral("/music/Björk – Jóga.mp3"),
        QStringLiteral("/music/فيروز/שלום.mp3"),
        QStringLiteral("/music/e\u0301te\u0301 🎵🎸.mp3"), // combining marks, 4-byte emoji
        QStringLiteral("/music/") + QString(63, QChar(0x4E2D)) + QStringLiteral(".mp3"), // 193
    };
    QByteArray list;
    for (const QString& name : names)
        list += name.toUtf8() + "\r\n";
    list += "/m/" + QByteArray(85, 'x') + QString(85, QChar(0x0416)).toUtf8() + "\r\n"; // 255
    EXPECT_EQ(decoded(list).mid(0, names.size()), names);
    EXPECT_EQ(decoded(list).last().toUtf8().size(), 3 + 85 + 170);
    EXPECT_TRUE(messages.shown().isEmpty());
}

// Catches a changed warning text, the wrong icon, a lower-case name in it, and a byte that is
// not UTF-8 (a Latin-1 name) kept or dropped instead of becoming "_".
TEST(SongList, UnsupportedCharacterWarnsAndBecomesUnderscore) {
    ScriptedMessages messages;
    messages.expect(kWarningStart);
    EXPECT_EQ(decoded("/music/caf\xe9.mp3\r\n/music/ok.mp3\r\n"),
              (QStringList{"/music/caf_.mp3", "/music/ok.mp3"}));
    ASSERT_EQ(messages.shown().size(), 1);
    const auto& box = messages.shown().first();
    EXPECT_EQ(box.text,
              QStringLiteral("Warning! Unsupported character(s) found in filename:\r\n\r\n"
                             "/MUSIC/CAF\u00c9.MP3\r\n\r\n"
                             "This file will not play properly.  Rename the file to a \r\n"
                             "name with proper characters only to solve this problem."));
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.caption, QLatin1String(kAppTitle));
}

// Catches one warning per name instead of one per invalid byte, broken sequences (a lone
// continuation byte, an overlong "/", a 5-byte lead, a surrogate) taken for characters, and
// valid characters beside them changed.
TEST(SongList, OneWarningPerUnsupportedCharacter) {
    ScriptedMessages messages;
    messages.allow(kWarningStart);
    EXPECT_EQ(decoded("/m/\x80"
                      "a\xc0\xaf\xf8\xed\xa0\x80\xc3\xa9.mp3\r\n"),
              QStringList{QStringLiteral("/m/_a______\u00e9.mp3")});
    ASSERT_EQ(messages.shown().size(), 7);
    for (const auto& box : messages.shown())
        EXPECT_TRUE(box.text.contains(
            QStringLiteral("/M/\u0080A\u00c0\u00af\u00d8\u00cd\u00a0\u0080\u00c9.MP3\r\n")))
            << box.text.toStdString();
}

// Catches lines that arrive in pieces decoded early (a name cut at a read boundary), a list
// read again from the start on every poll, a new list file not noticed, a last line without
// its end lost, and warnings shown while the list still grows instead of once it is read.
TEST(SongListReader, DecodesTheListAsItGrows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath("mixgen.lst");
    FoundSongs songs;
    SongListReader reader(list, songs);
    EXPECT_EQ(reader.poll(), 0);
    append(list, "/m/a.mp3\r\n/m/b");
    EXPECT_EQ(reader.poll(), 1);
    append(list, "\xc3"); // a character cut at a read boundary
    EXPECT_EQ(reader.poll(), 1);
    append(list, "\xa9.mp3\r\n/m/\xa6.mp3\r\n");
    ScriptedMessages messages;
    EXPECT_EQ(reader.poll(), 3);
    EXPECT_EQ(reader.poll(), 3);
    EXPECT_EQ(songs.toStringList(),
              (QStringList{"/m/a.mp3", QStringLiteral("/m/b\u00e9.mp3"), "/m/_.mp3"}));
    test::writeFile(list, "/n/1.mp3\r\n/n/2.mp3");
    EXPECT_EQ(reader.poll(), 1);
    EXPECT_EQ(reader.finish(), SongListReader::End::Read);
    EXPECT_EQ(songs.toStringList(), (QStringList{"/n/1.mp3", "/n/2.mp3"}));
    reader.warnAboutUnsupportedCharacters();
    EXPECT_TRUE(messages.shown().isEmpty()) << "a warning of a list that was started afresh";
}

// Catches a store that loses or repeats songs when it stops leaning on the list file's pages
// (the playlist window has it do so) while the list is still being written.
TEST(SongListReader, KeepingItsOwnCopyPartWayChangesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath("mixgen.lst");
    FoundSongs songs;
    SongListReader reader(list, songs);
    append(list, "/m/a.mp3\r\n/m/b");
    EXPECT_EQ(reader.poll(), 1);
    songs.keepOwnCopy();
    append(list, "\xc3\xa9.mp3\r\n/m/c.mp3");
    EXPECT_EQ(reader.poll(), 2);
    EXPECT_EQ(reader.finish(), SongListReader::End::Read);
    songs.keepOwnCopy();
    EXPECT_EQ(songs.toStringList(),
              (QStringList{"/m/a.mp3", QStringLiteral("/m/b\u00e9.mp3"), "/m/c.mp3"}));
}

// Catches a song list capped at a 16-bit count or an entry lost at a read boundary.
TEST(SongList, AMillionSongs) {
    QByteArray bytes;
    bytes.reserve(30'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        bytes.append("/music/song").append(QByteArray::number(i)).append(".mp3\r\n");
    const QStringList songs = decoded(bytes);
    ASSERT_EQ(songs.size(), 1'000'000);
    EXPECT_EQ(songs.at(32767), "/music/song32767.mp3");
    EXPECT_EQ(songs.last(), "/music/song999999.mp3");
}

// Catches a name read in place that differs from the same line decoded from a copy: lines cut
// at any read boundary (a CR apart from its LF too, a character apart from its last byte),
// empty lines, lone LF ends, names with invalid bytes among valid ones, pieces larger than one
// read, a last line without its end, and warnings out of list order.
TEST(SongListReader, SameSongsWhateverPiecesTheListArrivesIn) {
    std::mt19937 engine(11);
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3'500'000; ++i) {
        bytes.append("/music/Artist ").append(QByteArray::number(i % 97)).append("/song ");
        bytes.append(QByteArray::number(i));
        const int kind = int(engine() % 1000);
        if (kind < 300)
            bytes.append("\xd0\x9a\xe2\x80\x93\xf0\x9f\x8e\xb5"); // kept as it stands
        else if (kind < 301)
            bytes.append("\xe9"); // Latin-1: "_" and a warning
        else if (kind < 303)
            bytes.append("\xc3\xa9\xa9\xf0\x9f"); // valid, then broken
        bytes.append(kind % 7 == 0 ? "\n" : (kind % 11 == 0 ? "\r\n\r\n" : "\r\n"));
    }
    bytes.append("/music/last.mp3");

    QStringList expected;
    QStringList expectedWarnings;
    {
        ScriptedMessages messages;
        messages.allow(kWarningStart);
        expected = decoded(bytes);
        for (const auto& box : messages.shown())
            expectedWarnings.append(box.text);
    }
    ASSERT_FALSE(expectedWarnings.isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath("mixgen.lst");
    FoundSongs songs;
    SongListReader reader(list, songs);
    ScriptedMessages messages;
    messages.allow(kWarningStart);
    for (qsizetype at = 0; at < bytes.size();) {
        // Mostly small pieces, now and then more than a whole read.
        const qsizetype piece =
            engine() % 50 == 0 ? qsizetype(engine() % 3'000'000) : qsizetype(engine() % 4000);
        append(list, bytes.mid(at, piece + 1));
        at += piece + 1;
        reader.poll();
    }
    ASSERT_EQ(reader.finish(), SongListReader::End::Read);
    EXPECT_EQ(songs.toStringList(), expected);
    EXPECT_TRUE(messages.shown().isEmpty()) << "a warning before the list was read";
    reader.warnAboutUnsupportedCharacters();
    QStringList warnings;
    for (const auto& box : messages.shown())
        warnings.append(box.text);
    EXPECT_EQ(warnings, expectedWarnings);
}

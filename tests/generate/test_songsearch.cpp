#include "generate/songsearch.h"

#include "core/settingsstore.h"
#include "platform/folders.h"
#include "scriptedmessages.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include <linux/magic.h>
#include <sys/mount.h>
#include <sys/statfs.h>

using namespace mixgen;
using mixgen::test::ScriptedMessages;

namespace {

const QString kNoFiles = QStringLiteral("No files were found. Playlist is empty.");

class SongSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(music.isValid());
        work = workFolder();
        ASSERT_FALSE(work.isEmpty());
        QDir(work + "mixgen.bat").removeRecursively();
        QDir(work + "mixgen.lst").removeRecursively();
        QFile::remove(work + "mixgen.bat");
        QFile::remove(work + "mixgen.lst");
    }
    void TearDown() override {
        SettingsStore settings;
        for (int i = 0; i < 13; ++i)
            settings.DeleteSetting("Settings", QStringLiteral("Ext%1").arg(i));
    }

    void addSong(const QString& relative) { test::writeFile(music.filePath(relative), "ID3"); }
    QString song(const QString& relative) const { return music.filePath(relative); }

    QTemporaryDir music;
    QString work;
};

// Catches a batch written or run when no path is left, and a changed empty-result message.
TEST_F(SongSearch, NoPathShowsTheEmptyResultAndWritesNothing) {
    for (const QString& pathList : {QStringLiteral(";"), QStringLiteral("/"), QString()}) {
        ScriptedMessages messages;
        messages.expect(kNoFiles);
        QStringList found{"/stale.mp3"};
        EXPECT_EQ(runSongSearch(pathList, found), SearchStatus::NoPath);
        EXPECT_TRUE(found.isEmpty());
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown().first().text, kNoFiles);
        EXPECT_EQ(messages.shown().first().icon, MsgIcon::Information);
        EXPECT_FALSE(QFileInfo::exists(work + "mixgen.bat"));
    }
}

// Catches a search that goes on without a usable work folder, or fails without saying why.
TEST_F(SongSearch, RefusedWorkFolderIsReportedWithItsReason) {
    const QByteArray savedTemp = qgetenv("TEMP");
    qputenv("TEMP", QFile::encodeName(music.filePath("no-such-folder")));
    QString why;
    const QString refused = workFolder(&why);
    ScriptedMessages messages;
    messages.expect("work folder");
    QStringList found{"/stale.mp3"};
    const SearchStatus status = runSongSearch(music.path(), found);
    qputenv("TEMP", savedTemp);

    EXPECT_TRUE(refused.isEmpty());
    EXPECT_EQ(status, SearchStatus::Failed);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(messages.shown().first().text.endsWith(why))
        << messages.shown().first().text.toStdString();
    EXPECT_EQ(messages.shown().first().icon, MsgIcon::Exclamation);
    EXPECT_FALSE(QFileInfo::exists(music.filePath("no-such-folder")));
}

// Catches a search whose interpreter could not be started (a user at the limit of their
// processes) ending in "No files were found" as if no folder held a song: the reason is said.
// The search runs in a child process as an unprivileged user (a limit root is not held to).
TEST_F(SongSearch, InterpreterThatCannotStartIsReportedWithItsReason) {
    addSong("a.mp3");
    QFile::setPermissions(music.path(), QFile::permissions(music.path()) | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    const test::ChildOutcome outcome = test::runAtProcessLimit([&] {
        QByteArray own = QFile::encodeName(QDir::tempPath()) + "/no-processes-XXXXXX";
        if (!::mkdtemp(own.data()))
            return false;
        qputenv("TEMP", own); // a work folder and settings of that user's own
        qputenv("XDG_CONFIG_HOME", own);
        ScriptedMessages messages;
        messages.allow(QString());
        QStringList found;
        const SearchStatus status = runSongSearch(music.path(), found);
        const QString said = messages.shown().size() == 1 ? messages.shown().first().text : "";
        return status == SearchStatus::Failed && found.isEmpty() &&
               said.startsWith("An error occured while trying to read the list of MP3 files.") &&
               said.endsWith(
                   "The song search could not be started: Resource temporarily unavailable");
    });
    if (!outcome.ran)
        GTEST_SKIP() << outcome.why;
    EXPECT_TRUE(outcome.held) << outcome.why << ": the search said something else";
}

// Catches a batch file that cannot be written passing silently (a file-size limit stands in
// for a full disk), and half-written files or run folders left in the work folder.
TEST_F(SongSearch, UnwritableBatchFileFailsCleanly) {
    addSong("a.mp3");
    const QStringList before = QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ScriptedMessages messages;
    messages.expect("An error occured while trying to write to file ");
    QStringList found;
    {
        const test::FileSizeLimit limit(10);
        EXPECT_EQ(runSongSearch(music.path(), found), SearchStatus::Failed);
    }
    ASSERT_EQ(messages.shown().size(), 1);
    const QString text = messages.shown().first().text;
    EXPECT_TRUE(text.contains("MIXGEN.BAT\r\n\r\n")) << text.toStdString();
    EXPECT_FALSE(text.endsWith("\r\n\r\n")) << "the reason is missing";
    EXPECT_EQ(messages.shown().first().icon, MsgIcon::Exclamation);
    EXPECT_EQ(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

// Catches a list the interpreter could not write whole (a full disk) taken for all the songs;
// and, with the work folder on tmpfs (a desktop's runtime folder), the interpreter ended by
// the file-size signal before it could say why.
TEST_F(SongSearch, ListThatCouldNotBeWrittenIsAFailure) {
    for (int i = 0; i < 60; ++i)
        addSong(QStringLiteral("a rather long folder name for the list/song number %1.mp3").arg(i));
    QStringList workFolders{QString()}; // the sandbox's
    QTemporaryDir onTmpfs(QStringLiteral("/dev/shm/mixgen-test-XXXXXX"));
    struct statfs fileSystem {};
    if (onTmpfs.isValid() && ::statfs("/dev/shm", &fileSystem) == 0 &&
        fileSystem.f_type == TMPFS_MAGIC)
        workFolders.append(onTmpfs.path());
    const QByteArray sandboxTemp = qgetenv("TEMP");
    for (const QString& folder : workFolders) {
        if (!folder.isEmpty())
            qputenv("TEMP", QFile::encodeName(folder));
        ScriptedMessages messages;
        messages.expect("An error occured while trying to read the list of MP3 files.\r\n\r\n");
        QStringList found;
        {
            const test::FileSizeLimit limit(1500);
            EXPECT_EQ(runSongSearch(music.path(), found), SearchStatus::Failed);
        }
        qputenv("TEMP", sandboxTemp);
        EXPECT_TRUE(found.isEmpty());
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_TRUE(messages.shown().first().text.contains("writing the list failed"))
            << messages.shown().first().text.toStdString() << " (work folder "
            << folder.toStdString() << ")";
    }
}

// A small file system of its own as the work folder while it lives (mounting needs root; the
// test is skipped without it).
class FullWorkFolder {
public:
    FullWorkFolder() {
        if (!m_mountPoint.isValid())
            return;
        const QByteArray at = QFile::encodeName(m_mountPoint.path());
        m_mounted = ::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") == 0;
        if (!m_mounted)
            return;
        m_oldTemp = qgetenv("TEMP");
        qputenv("TEMP", at);
    }
    ~FullWorkFolder() {
        if (!m_mounted)
            return;
        qputenv("TEMP", m_oldTemp);
        ::umount2(QFile::encodeName(m_mountPoint.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QTemporaryDir m_mountPoint;
    bool m_mounted = false;
    QByteArray m_oldTemp;
};

// Catches a work folder that fills up during the search reported only as "ended with status
// 1": the interpreter's own reason must come through, though the disk has no room left for it.
TEST_F(SongSearch, FullWorkFolderGivesTheInterpretersReason) {
    for (int i = 0; i < 1500; ++i)
        addSong(QStringLiteral("a rather long folder name for the list/song number %1.mp3").arg(i));
    const FullWorkFolder full;
    if (!full.mounted())
        GTEST_SKIP() << "no small file system can be mounted here";
    ScriptedMessages messages;
    messages.expect("An error occured while trying to read the list of MP3 files.\r\n\r\n");
    QStringList found;
    EXPECT_EQ(runSongSearch(music.path(), found), SearchStatus::Failed);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.shown().first().text.contains("No space left on device"))
        << messages.shown().first().text.toStdString();
}

// Catches an unreadable list that is not reported, and work files deleted although the list
// was not read.
TEST(ReadSongList, UnreadableListIsReportedAndTheWorkFilesStay) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString batch = dir.filePath("mixgen.bat");
    const QString list = dir.filePath("mixgen.lst");
    test::writeFile(batch, "@echo off\r\n");
    ASSERT_TRUE(QDir().mkpath(list));
    ScriptedMessages messages;
    messages.expect("An error occured while trying to read the list of MP3 files.");
    QStringList found;
    EXPECT_EQ(readSongList(batch, list, found), SearchStatus::Failed);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().text,
              "An error occured while trying to read the list of MP3 files.\r\n\r\n");
    EXPECT_EQ(messages.shown().first().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(QFileInfo(batch).isFile());
}

// Catches work files planted in a shared work folder being written or read through: a link
// at "mixgen.bat" would have its target overwritten, one at "mixgen.lst" would put foreign
// entries into the playlist.
TEST_F(SongSearch, NothingPlantedInTheWorkFolderIsFollowed) {
    addSong("mine.mp3");
    const QString victim = music.filePath("victim.txt");
    test::writeFile(victim, "keep");
    const QString foreign = music.filePath("foreign.txt");
    test::writeFile(foreign, "/etc/passwd\r\n");
    ASSERT_TRUE(QFile::link(victim, work + "mixgen.bat"));
    ASSERT_TRUE(QFile::link(foreign, work + "mixgen.lst"));
    ScriptedMessages messages;
    QStringList found;
    EXPECT_EQ(runSongSearch(music.path(), found), SearchStatus::Listed);
    EXPECT_EQ(found, QStringList{song("mine.mp3")});
    EXPECT_EQ(test::readFile(victim), "keep");
    EXPECT_EQ(test::readFile(foreign), "/etc/passwd\r\n");
    QFile::remove(work + "mixgen.bat");
    QFile::remove(work + "mixgen.lst");
}

// Catches a folder name with a line break reaching the batch file (where it would add a line
// of its own) instead of being skipped with a message, and the other folders not searched.
TEST_F(SongSearch, FolderWithALineBreakIsSkippedWithAMessage) {
    addSong("good/a.mp3");
    addSong("bad\nname/b.mp3");
    ScriptedMessages messages;
    messages.expect("cannot be searched");
    QStringList found;
    EXPECT_EQ(runSongSearch(song("good") + ";" + song("bad\nname") + ";" + song("x\r/s"), found),
              SearchStatus::Listed);
    EXPECT_EQ(found, QStringList{song("good/a.mp3")});
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.shown().first().text.contains(song("bad") + "<LF>name"));
    EXPECT_TRUE(messages.shown().first().text.contains("x<CR>/s"));
}

// Catches songs missed, hidden files or other extensions listed, the folder order wrong, a
// name in another script changed or warned about, a Latin-1 name (not UTF-8) kept without its
// warning, and the work files left behind.
TEST_F(SongSearch, FindsTheSongsBelowEveryFolder) {
    addSong("b.mp3");
    addSong("A.MP3");
    addSong(QStringLiteral("caf\u00e9.mp3"));
    addSong(QStringLiteral("s\u00f8ng.mp3"));
    addSong(QStringLiteral("\u041a\u0438\u043d\u043e.mp3"));
    std::ofstream(music.path().toStdString() + "/s\xf8ng.mp3") << "ID3"; // a Latin-1 name
    addSong("notes.txt");
    addSong(".hidden.mp3");
    addSong("sub/c.mp2");
    addSong("Zed/d.mp3");
    ScriptedMessages messages;
    messages.expect("Unsupported character(s)");
    QStringList found;
    EXPECT_EQ(runSongSearch(music.path(), found), SearchStatus::Listed);
    EXPECT_EQ(found,
              (QStringList{song("A.MP3"), song("b.mp3"), song(QStringLiteral("caf\u00e9.mp3")),
                           song(QStringLiteral("s\u00f8ng.mp3")), song("s_ng.mp3"),
                           song(QStringLiteral("\u041a\u0438\u043d\u043e.mp3")), song("sub/c.mp2"),
                           song("Zed/d.mp3")}));
    EXPECT_FALSE(QFileInfo::exists(work + "mixgen.bat"));
    EXPECT_FALSE(QFileInfo::exists(work + "mixgen.lst"));
}

// Catches extension-major searches and a later search that truncates the list of an earlier.
TEST_F(SongSearch, EnabledExtensionsPathMajor) {
    addSong("one/x.wav");
    addSong("one/sub/y.mp3");
    addSong("one/z.mod");
    addSong("two/w.WAV");
    SettingsStore().SaveSetting("Settings", "Ext0", "1");
    SettingsStore().SaveSetting("Settings", "Ext2", "1");
    ScriptedMessages messages;
    QStringList found;
    EXPECT_EQ(runSongSearch(song("one") + ";" + song("two") + ";", found), SearchStatus::Listed);
    EXPECT_EQ(found, (QStringList{song("one/sub/y.mp3"), song("one/x.wav"), song("two/w.WAV")}));
}

// Catches a crash or a message for folders that do not exist or are files.
TEST_F(SongSearch, MissingFolderOrFileGivesAnEmptyList) {
    addSong("plain.mp3");
    ScriptedMessages messages;
    QStringList found{"/stale.mp3"};
    EXPECT_EQ(runSongSearch(song("missing") + ";" + song("plain.mp3"), found),
              SearchStatus::Listed);
    EXPECT_TRUE(found.isEmpty());
}

// Catches the notice shown more than once or with an icon, and a huge path list that breaks
// the search.
TEST_F(SongSearch, HundredThousandSegmentsShowTheNoticeOnce) {
    QStringList segments;
    for (int i = 0; i < 100000; ++i)
        segments.append(song(QStringLiteral("none/%1").arg(i)));
    ScriptedMessages messages;
    messages.expect("Cannot process more than 5000 paths");
    QStringList found;
    EXPECT_EQ(runSongSearch(segments.join(';'), found), SearchStatus::Listed);
    EXPECT_TRUE(found.isEmpty());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().text,
              "Cannot process more than 5000 paths at once. The first 5000 paths will be used.");
    EXPECT_EQ(messages.shown().first().icon, MsgIcon::None);
}

// Catches a missing list that shows a message or removes the batch file, and a list read
// whole that leaves its work files behind.
TEST(ReadSongList, MissingListIsASilentFailureAndAGoodListIsCleanedUp) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString batch = dir.filePath("mixgen.bat");
    const QString list = dir.filePath("mixgen.lst");
    test::writeFile(batch, "@echo off\r\n");
    ScriptedMessages messages;
    QStringList found;
    EXPECT_EQ(readSongList(batch, list, found), SearchStatus::Failed);
    EXPECT_TRUE(found.isEmpty());
    EXPECT_TRUE(QFileInfo(batch).isFile());

    test::writeFile(list, "/m/a.mp3\r\n/m/\xc3\xa9.mp3\r\n");
    EXPECT_EQ(readSongList(batch, list, found), SearchStatus::Listed);
    EXPECT_EQ(found, (QStringList{"/m/a.mp3", QStringLiteral("/m/\u00e9.mp3")}));
    EXPECT_FALSE(QFileInfo::exists(batch));
    EXPECT_FALSE(QFileInfo::exists(list));
    EXPECT_TRUE(messages.shown().isEmpty());
}

} // namespace

// Catches a folder whose reading failed part way (a disk error) losing the rest of its songs
// without a word: after the search one information message names it (once, though two path
// entries walked it), and the songs that were read are kept.
TEST_F(SongSearch, FoldersReadPartWayAreNamedOnce) {
    addSong("fine/one.mp3");
    const QString padding(60, u'x');
    for (int i = 0; i < 3000; ++i)
        addSong(QStringLiteral("failing/%1%2.mp3").arg(i, 4, 10, QChar(u'0')).arg(padding));
    const test::FailingFolderReads fault("failing");
    ScriptedMessages messages;
    messages.expect("Some folders could not be read whole");
    QStringList found;
    const QString failing = song("failing");
    EXPECT_EQ(runSongSearch(music.path() + ";" + failing, found), SearchStatus::Listed);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().icon, MsgIcon::Information);
    const QString text = messages.shown().first().text;
    EXPECT_TRUE(text.endsWith(":\r\n\r\n" + failing + "/")) << text.toStdString();
    EXPECT_TRUE(found.contains(song("fine/one.mp3")));
    EXPECT_GT(found.size(), 1);
    EXPECT_LT(found.size(), 3000);
}

namespace {

// The entries of the work folder: run folders, and whatever else a search left.
QStringList workEntries(const QString& work) {
    return QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

// Waits until the interpreter of a search started ahead has listed its songs.
void awaitListedAhead(const QString& work, const QStringList& before) {
    for (int tries = 0; tries < 500; ++tries) {
        for (const QString& entry : workEntries(work)) {
            if (!before.contains(entry) && QFileInfo(work + entry + "/mixgen.lst").size() > 0) {
                QThread::msleep(100); // the rest of its lines
                return;
            }
        }
        QThread::msleep(10);
    }
    FAIL() << "the search started ahead listed nothing";
}

} // namespace

// Catches a search started ahead that its run walks again instead of taking over, one taken
// over for other folders or other song patterns, one nobody takes that leaves its files
// behind, and one started where the search would first have something to say.
TEST_F(SongSearch, SearchStartedAheadIsTakenOverOnlyForTheSameRequest) {
    addSong("one/a.mp3");
    addSong("two/b.mp3");
    const QStringList before = workEntries(work);
    ScriptedMessages messages;
    QStringList found;

    ASSERT_TRUE(startSongSearchEarly(song("one")));
    awaitListedAhead(work, before);
    addSong("one/later.mp3"); // only a second walk would list it
    EXPECT_EQ(runSongSearch(song("one"), found), SearchStatus::Listed);
    EXPECT_EQ(found, QStringList{song("one/a.mp3")});
    EXPECT_EQ(workEntries(work), before);

    ASSERT_TRUE(startSongSearchEarly(song("one")));
    EXPECT_EQ(runSongSearch(song("two"), found), SearchStatus::Listed);
    EXPECT_EQ(found, QStringList{song("two/b.mp3")});
    EXPECT_EQ(workEntries(work), before);

    ASSERT_TRUE(startSongSearchEarly(song("one")));
    SettingsStore().SaveSetting("Settings", "Ext2", "1"); // WAV files only from now on
    EXPECT_EQ(runSongSearch(song("one"), found), SearchStatus::Listed);
    EXPECT_TRUE(found.isEmpty());
    EXPECT_EQ(workEntries(work), before);

    ASSERT_TRUE(startSongSearchEarly(song("one")));
    dropEarlySongSearch();
    EXPECT_EQ(workEntries(work), before);

    EXPECT_FALSE(startSongSearchEarly(song("one") + ";" + song("bad\nname")));
    EXPECT_FALSE(startSongSearchEarly(";"));
    EXPECT_EQ(workEntries(work), before);
    EXPECT_TRUE(messages.shown().isEmpty());
}

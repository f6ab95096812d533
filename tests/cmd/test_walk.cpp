// Whole runs of mixgen-cmd over real trees: what dir /s /b lists, in which order and bytes.
#include "cmdrun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mixgen::test;

namespace {

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path() + "/music/";
        m_list = m_dir.path() + "/mixgen.lst";
    }

    void file(const QByteArray& relative) {
        makeFolders(relative);
        std::ofstream(bytePath(relative).toStdString()) << "x";
    }
    void folder(const QByteArray& relative) { makeFolders(relative + "/"); }
    void link(const QByteArray& relative, const QByteArray& target) {
        makeFolders(relative);
        ASSERT_EQ(::symlink(target.constData(), bytePath(relative).constData()), 0);
    }
    QString path(const QByteArray& relative) const { return m_root + QString::fromUtf8(relative); }
    // Names may hold bytes that are not UTF-8 (no QString keeps them), so files are made by
    // their bytes.
    QByteArray bytePath(const QByteArray& relative) const { return m_root.toUtf8() + relative; }
    void makeFolders(const QByteArray& relative) const {
        const QByteArray full = bytePath(relative);
        for (qsizetype slash = full.indexOf('/', 1); slash > 0;
             slash = full.indexOf('/', slash + 1))
            ::mkdir(full.left(slash).constData(), 0755);
    }

    // The tree most tests walk: odd names, hidden entries, links and a loop.
    void buildRichTree() {
        file("z song.mp3");
        file("B.mp3");
        file("a.mp3");
        file("C.MP3");
        file("notes.txt");
        file(".hidden.mp3");
        file(".hiddendir/in.mp3");
        file("beta gamma/it's \"quoted\";$(x).mp3");
        file("beta gamma/tune.wav");
        file("Café/Ünï.mp3");
        file("Café/中文.mp3");
        file("Café/bad\xFF.mp3");
        file("Café/line\nbreak.mp3");
        file("Café/deep/er/x.mp3");
        file("alpha/one.mp2");
        link("alpha/loop", "..");
        link("alpha/self", ".");
        link("link-to-beta", "beta gamma");
        link("aaa-link", "zeta");
        file("zeta/z.mp3");
        link("filelink.mp3", "a.mp3");
        link("broken.mp3", "missing.mp3");
        file("nl\ndir/inside.mp3");
        // Named like songs, but a player would hang on them.
        ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.mp3")).constData(), 0600), 0);
        link("pipelink.mp3", "pipe.mp3");
    }

    // What the walk must list for "*.MP?" over the rich tree: the folder's own files in
    // case-insensitive order, then each subfolder depth first; links followed, every folder
    // once, names as their own bytes, valid UTF-8 or not.
    QByteArray richMp() {
        const QByteArray p = m_root.toUtf8();
        return p + "a.mp3\r\n" + p + "B.mp3\r\n" + p + "C.MP3\r\n" + p + "filelink.mp3\r\n" + p +
               "z song.mp3\r\n" + p + "aaa-link/z.mp3\r\n" + p + "alpha/one.mp2\r\n" + p +
               "beta gamma/it's \"quoted\";$(x).mp3\r\n" + p + "Café/bad\xFF.mp3\r\n" + p +
               "Café/Ünï.mp3\r\n" + p + "Café/中文.mp3\r\n" + p + "Café/deep/er/x.mp3\r\n";
    }

    CmdRun run(const QByteArray& batch, const QStringList& options = {}) {
        return runBatch(m_dir.path() + "/mixgen.bat", batch, options);
    }

    QTemporaryDir m_dir;
    QString m_root;
    QString m_list;
};

} // namespace

// Catches a wrong order (bytes instead of case-insensitive, subfolders before files), hidden
// or broken entries listed, a loop walked twice, names not written as their bytes, a name with
// a line break breaking the list.
TEST_F(WalkTest, ListsTheTreeInWalkOrder) {
    buildRichTree();
    const CmdRun result = run(dirLine(m_root, "*.MP?", m_list, false));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(readFile(m_list), richMp());
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
}

// Catches the stat fallback for file systems without entry types giving another list.
TEST_F(WalkTest, GivesTheSameListWithoutEntryTypes) {
    buildRichTree();
    const QByteArray batch =
        dirLine(m_root, "*.MP?", m_list, false) + dirLine(m_root, "*.WAV", m_list, true);
    const QByteArray expected = richMp() + m_root.toUtf8() + "beta gamma/tune.wav\r\n";
    EXPECT_EQ(run(batch).exitCode, 0);
    EXPECT_EQ(readFile(m_list), expected);
    ASSERT_TRUE(QFile::remove(m_list));
    EXPECT_EQ(run(batch, {"--stat-every-entry"}).exitCode, 0);
    EXPECT_EQ(readFile(m_list), expected);
}

// Catches the shared walk interleaving the lines' matches (it must be all of line 1 in walk
// order, then all of line 2...), or dropping a name that two lines both match.
TEST_F(WalkTest, SharedWalkKeepsEachLinesOrder) {
    buildRichTree();
    file("alpha/both.wav");
    file("Café/deep/three.wav");
    const QByteArray lines[] = {dirLine(m_root, "*.MP?", m_list, false),
                                dirLine(m_root, "*.WAV", m_list, true),
                                dirLine(m_root, "*3", m_list, true)};

    // Each line on its own, one run each.
    QByteArray separate;
    for (const QByteArray& line : lines) {
        QFile::remove(m_list); // so a ">>" line holds only its own list
        ASSERT_EQ(run(line).exitCode, 0);
        separate += readFile(m_list);
    }
    ASSERT_EQ(run(lines[0] + lines[1] + lines[2]).exitCode, 0);
    const QByteArray merged = readFile(m_list);
    EXPECT_EQ(merged, separate);

    const QByteArray p = m_root.toUtf8();
    const QByteArray wav =
        p + "alpha/both.wav\r\n" + p + "beta gamma/tune.wav\r\n" + p + "Café/deep/three.wav\r\n";
    QByteArray three = richMp();
    three.replace(p + "alpha/one.mp2\r\n", "");
    EXPECT_EQ(merged, richMp() + wav + three);
}

// Catches later lines writing to their own files being mixed up when they share one walk, or
// a target created by a later line missing from an earlier line's list.
TEST_F(WalkTest, SharedWalkServesSeparateTargets) {
    file("a.mp3");
    file("b.wav");
    file("sub/c.mp3");
    const QString other = m_root + "sub/new.mp3"; // a later line's target, inside the tree
    const QByteArray batch = dirLine(m_root, "*.wav", m_list, false) +
                             dirLine(m_root, "*.mp3", other, false) +
                             dirLine(m_root, "*.mp3", m_list, true);
    ASSERT_EQ(run(batch).exitCode, 0);
    const QByteArray p = m_root.toUtf8();
    EXPECT_EQ(readFile(m_list),
              p + "b.wav\r\n" + p + "a.mp3\r\n" + p + "sub/c.mp3\r\n" + p + "sub/new.mp3\r\n");
    EXPECT_EQ(readFile(other), p + "a.mp3\r\n" + p + "sub/c.mp3\r\n" + p + "sub/new.mp3\r\n");
}

// Catches the list file being created only after the walk: a line's own new target lies in
// the tree and must be listed, as the redirection exists before the command runs.
TEST_F(WalkTest, ListsItsOwnTargetInsideTheTree) {
    file("x.lst");
    const QString inside = m_root + "mixgen.lst";
    ASSERT_EQ(run(dirLine(m_root, "*.LST", inside, false)).exitCode, 0);
    const QByteArray p = m_root.toUtf8();
    EXPECT_EQ(readFile(inside), p + "mixgen.lst\r\n" + p + "x.lst\r\n");
}

// Catches ">" leaving an old list behind when the folder is missing, is a file, or holds no
// match, and ">>" not keeping what is there.
TEST_F(WalkTest, RedirectionWhenNothingMatches) {
    file("a.wav");
    writeFile(m_list, "old\r\n");
    ASSERT_EQ(run(dirLine(m_root, "*.mp3", m_list, false)).exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(m_list));
    EXPECT_EQ(readFile(m_list), QByteArray());

    writeFile(m_list, "old\r\n");
    const CmdRun missing = run(dirLine(m_root + "nowhere/", "*.mp3", m_list, true));
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_EQ(readFile(m_list), QByteArray("old\r\n"));
    EXPECT_TRUE(missing.err.contains("nowhere")) << missing.err.toStdString();

    const CmdRun missingNew = run(dirLine(m_root + "nowhere/", "*.mp3", m_list, false));
    EXPECT_EQ(missingNew.exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(m_list));
    EXPECT_EQ(readFile(m_list), QByteArray());

    writeFile(m_list, "old\r\n");
    ASSERT_EQ(run(dirLine(m_root + "a.wav/", "*", m_list, false)).exitCode, 0);
    EXPECT_EQ(readFile(m_list), QByteArray());
}

// Catches case-sensitive matching of the song extensions and "ITZ " (with its blank) finding
// nothing; the walk must list every enabled kind, one line per pattern.
TEST_F(WalkTest, FindsEverySongExtension) {
    const char* names[] = {"a.MP3", "b.mp2", "c.Wma", "d.wav", "e.mod", "f.stm", "g.s3m",
                           "h.it",  "i.xm",  "j.mdz", "k.stz", "l.s3z", "m.itz", "n.XMZ"};
    for (const char* name : names)
        file(QByteArray("songs/") + name);
    file("songs/o.mp3x");
    file("songs/p.itzz");
    const char* patterns[] = {"*.MP?", "*.WMA", "*.WAV", "*.MOD", "*.STM",  "*.S3M", "*.IT",
                              "*.XM",  "*.MDZ", "*.STZ", "*.S3Z", "*.ITZ ", "*.XMZ"};
    QByteArray batch = "@echo off\r\n";
    bool first = true;
    for (const char* pattern : patterns) {
        batch += dirLine(m_root, pattern, m_list, !first);
        first = false;
    }
    ASSERT_EQ(run(batch).exitCode, 0);
    QByteArray expected;
    for (const char* name : names)
        expected += m_root.toUtf8() + "songs/" + name + "\r\n";
    EXPECT_EQ(readFile(m_list), expected);
}

// Catches an unreadable folder ending the walk or its names leaking out: it is skipped and
// the walk goes on with the next folder.
TEST_F(WalkTest, SkipsUnreadableFolders) {
    // Root reads everything, so the run drops to an unprivileged user; the tree then lies in
    // a folder that user may enter.
    QTemporaryDir open(QDir::tempPath() + "/mixgen-cmd-perm-XXXXXX");
    ASSERT_TRUE(open.isValid());
    const QString top = open.path();
    ASSERT_EQ(::chmod(QFile::encodeName(top).constData(), 0777), 0);
    const QString root = top + "/music/";
    writeFile(root + "a/one.mp3", "x");
    writeFile(root + "b locked/two.mp3", "x");
    writeFile(root + "c/three.mp3", "x");
    for (const char* sub : {"", "a", "c"})
        ::chmod(QFile::encodeName(root + sub).constData(), 0755);
    const QByteArray locked = QFile::encodeName(root + "b locked");
    ASSERT_EQ(::chmod(locked.constData(), 0700), 0);
    const bool asRoot = ::geteuid() == 0;
    if (!asRoot) {
        ASSERT_EQ(::chmod(locked.constData(), 0), 0);
    }

    // The interpreter is copied where that user can run it.
    const QString program = top + "/mixgen-cmd";
    ASSERT_TRUE(QFile::copy(cmdProgram(), program));
    const QString list = top + "/mixgen.lst";
    const QString batch = top + "/mixgen.bat";
    writeFile(batch, dirLine(root, "*.mp3", list, false));
    ::chmod(QFile::encodeName(batch).constData(), 0644);

    const CmdRun result = runProgram(program, {batch}, [asRoot] {
        if (asRoot &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
    });
    ::chmod(locked.constData(), 0700);
    if (result.exitCode == 77)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result.exitCode, 0);
    const QByteArray p = root.toUtf8();
    EXPECT_EQ(readFile(list), p + "a/one.mp3\r\n" + p + "c/three.mp3\r\n");
}

// Catches the folder prefix being rebuilt instead of kept as written (blanks, quotes, double
// slashes) and not written as its bytes.
TEST_F(WalkTest, KeepsTheFolderAsWritten) {
    const QString odd = m_dir.path() + "/Mus ic \"x\" é;$(y)/";
    writeFile(odd + "sub/s.mp3", "x");
    const QString doubled = m_dir.path() + "//Mus ic \"x\" é;$(y)//";
    ASSERT_EQ(run(dirLine(doubled, "*.mp3", m_list, false)).exitCode, 0);
    EXPECT_EQ(readFile(m_list), doubled.toUtf8() + "sub/s.mp3\r\n");
}

// Catches a walk that needs one open folder per level: a tree far deeper than the open-files
// limit must still be listed whole.
TEST_F(WalkTest, ListsTreesDeeperThanTheOpenFilesLimit) {
    QByteArray deep;
    QByteArray expected;
    for (int level = 0; level < 300; ++level) {
        deep += (level % 2 ? "B" : "a") + QByteArray::number(level) + "/";
        if (level % 50 == 0 || level == 299) {
            file(deep + "s.mp3");
            expected += m_root.toUtf8() + deep + "s.mp3\r\n";
        }
    }
    file(deep.left(deep.indexOf('/') + 1) + "zz/last.mp3");
    expected += m_root.toUtf8() + deep.left(deep.indexOf('/') + 1) + "zz/last.mp3\r\n";
    writeFile(m_dir.path() + "/mixgen.bat", dirLine(m_root, "*.mp3", m_list, false));
    const CmdRun result = runProgram(cmdProgram(), {m_dir.path() + "/mixgen.bat"}, [] {
        const rlimit few{24, 24};
        ::setrlimit(RLIMIT_NOFILE, &few);
    });
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readFile(m_list), expected);
}

// Catches a walk on several threads that lists anything other than one thread lists, byte for
// byte: links into folders that come later in walk order (the link's path comes first, the
// folder's own is then skipped) and into folders already walked, loops, locked folders, a
// shared walk of two patterns.
TEST_F(WalkTest, ThreadsListWhatOneThreadLists) {
    buildRichTree();
    for (const char* artist : {"Abba", "beatles", "Cream", "doors"}) {
        for (int album = 0; album < 3; ++album) {
            file(QByteArray(artist) + "/album " + QByteArray::number(album) + "/t.mp3");
            file(QByteArray(artist) + "/album " + QByteArray::number(album) + "/x.wav");
        }
    }
    link("Abba/later", "../doors/album 1");   // reached through the link first
    link("Cream/earlier", "../Abba/album 2"); // walked already
    link("beatles/album 1/up", "../..");      // a loop back to the top
    folder("locked/inner");
    file("locked/inner/no.mp3");
    ::chmod(QFile::encodeName(path("locked")).constData(), 0);
    const QByteArray batch =
        dirLine(m_root, "*.MP?", m_list, false) + dirLine(m_root, "*.WAV", m_list, true);
    QByteArray single;
    for (const char* threads : {"1", "2", "3", "16"}) {
        ASSERT_EQ(run(batch, {"--threads", threads}).exitCode, 0);
        if (single.isEmpty())
            single = readFile(m_list);
        else
            EXPECT_EQ(readFile(m_list), single) << threads << " threads";
        ASSERT_TRUE(QFile::remove(m_list));
    }
    ::chmod(QFile::encodeName(path("locked")).constData(), 0700);
    EXPECT_TRUE(single.contains("Abba/later/t.mp3"));
    EXPECT_FALSE(single.contains("doors/album 1/t.mp3"));
    EXPECT_TRUE(single.contains("Cream/album 0/t.mp3"));
    EXPECT_FALSE(single.contains("Cream/earlier/"));
}

// Catches a walk that stops reading a folder after its first read, or takes a read that is only
// full for the end of the folder: a folder of thousands of songs takes several reads.
TEST_F(WalkTest, ListsEveryFileOfAFolderTooBigForOneRead) {
    const QByteArray padding(60, 'x');
    for (int i = 0; i < 3000; ++i)
        file("big/" + QByteArray::number(i).rightJustified(4, '0') + padding + ".mp3");
    file("big/sub/last.mp3");
    writeFile(m_dir.path() + "/mixgen.bat", dirLine(m_root, "*.mp3", m_list, false));
    ASSERT_EQ(runProgram(cmdProgram(), {m_dir.path() + "/mixgen.bat"}).exitCode, 0);
    const QList<QByteArray> lines = readFile(m_list).split('\n');
    ASSERT_EQ(lines.size(), 3002); // and the empty piece after the last line break
    EXPECT_EQ(lines[0], m_root.toUtf8() + "big/0000" + padding + ".mp3\r");
    EXPECT_EQ(lines[2999], m_root.toUtf8() + "big/2999" + padding + ".mp3\r");
    EXPECT_EQ(lines[3000], m_root.toUtf8() + "big/sub/last.mp3\r");
}

// Catches a name cut short or run on into the bytes after it, where its length is taken from
// the end of its directory record: names of every length from 1 to 255 bytes.
TEST_F(WalkTest, ListsNamesOfEveryLength) {
    QByteArray expected;
    for (int length = 1; length <= 255; ++length) {
        file("all/" + QByteArray(length, 'x'));
        expected += m_root.toUtf8() + "all/" + QByteArray(length, 'x') + "\r\n";
    }
    writeFile(m_dir.path() + "/mixgen.bat", dirLine(m_root + "all/", "*", m_list, false));
    ASSERT_EQ(runProgram(cmdProgram(), {m_dir.path() + "/mixgen.bat"}).exitCode, 0);
    EXPECT_EQ(readFile(m_list), expected);
}

namespace {

// A tmpfs holding a second tmpfs, seen through bindfs, which passes both file systems' inode
// numbers through under one device. Needs root and bindfs; mounted() tells whether it is there.
class PassThroughMounts {
public:
    PassThroughMounts() {
        if (!m_dir.isValid() || ::geteuid() != 0 || !QDir().mkpath(outer()) ||
            ::mount("tmpfs", encoded(outer()), "tmpfs", 0, nullptr) != 0)
            return;
        m_mounts.push_back(outer());
        // Each tmpfs numbers its inodes from 1: the outer folders d1 to d8 and the inner c1 to
        // c8 get the same numbers (two hidden files in the inner root make up for "top" and
        // "inner"), while no folder repeats one of its own ancestors.
        if (!QDir().mkpath(outer() + "/top/inner"))
            return;
        for (int i = 1; i <= 8; ++i)
            writeFile(outer() + QStringLiteral("/top/d%1/outer%1.mp3").arg(i), "x");
        // A loop back to an ancestor, which stays a loop.
        if (::symlink("..", encoded(outer() + "/top/d1/up")) != 0)
            return;
        if (::mount("tmpfs", encoded(outer() + "/top/inner"), "tmpfs", 0, nullptr) != 0)
            return;
        m_mounts.push_back(outer() + "/top/inner");
        writeFile(outer() + "/top/inner/.pad1", "");
        writeFile(outer() + "/top/inner/.pad2", "");
        for (int i = 1; i <= 8; ++i)
            writeFile(outer() + QStringLiteral("/top/inner/c%1/inner%1.mp3").arg(i), "x");
        QDir().mkpath(view());
        if (QProcess::execute("bindfs", {outer(), view()}) != 0)
            return;
        m_mounts.push_back(view());
        m_ready = true;
    }
    ~PassThroughMounts() {
        for (auto at = m_mounts.rbegin(); at != m_mounts.rend(); ++at)
            ::umount2(encoded(*at), MNT_DETACH);
    }
    bool mounted() const { return m_ready; }
    // The folder walked, as bindfs shows it.
    QString top() const { return view() + "/top/"; }

private:
    QString outer() const { return m_dir.path() + "/outer"; }
    QString view() const { return m_dir.path() + "/view"; }
    static const char* encoded(const QString& path) {
        static QByteArray bytes;
        bytes = QFile::encodeName(path);
        return bytes.constData();
    }

    QTemporaryDir m_dir;
    std::vector<QString> m_mounts;
    bool m_ready = false;
};

bool sameFolderId(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

// Catches a folder on FUSE skipped as "walked already" because another folder there has the
// same device and inode (bindfs over two file systems): there only a folder that repeats one
// of its own ancestors is a loop (a link back up is still not followed), and every song of the
// other is listed, at any thread count.
TEST_F(WalkTest, FoldersSharingAnIdOnFuseAreEachWalked) {
    const PassThroughMounts mounts;
    if (!mounts.mounted())
        GTEST_SKIP() << "needs root and bindfs";
    const QString top = mounts.top();
    if (!sameFolderId(top + "d1", top + "inner/c1"))
        GTEST_SKIP() << "the two file systems do not share inode numbers here";
    QByteArray expected;
    for (int i = 1; i <= 8; ++i)
        expected += QStringLiteral("%1d%2/outer%2.mp3\r\n").arg(top).arg(i).toUtf8();
    for (int i = 1; i <= 8; ++i)
        expected += QStringLiteral("%1inner/c%2/inner%2.mp3\r\n").arg(top).arg(i).toUtf8();
    for (const char* threads : {"1", "2", "3", "16"}) {
        ASSERT_EQ(run(dirLine(top, "*.mp3", m_list, false), {"--threads", threads}).exitCode, 0);
        EXPECT_EQ(readFile(m_list), expected) << threads << " threads";
    }
}

// Catches a folder whose reading fails part way (a disk error) losing the rest of its songs
// without a word: it is named once on standard error with the reason, the songs read before
// the failure are listed, and the walk goes on with the folders after it, at any thread count.
TEST_F(WalkTest, FolderReadPartWayIsNamed) {
    const QByteArray padding(60, 'x');
    file("a/one.mp3");
    for (int i = 0; i < 3000; ++i)
        file("failing/" + QByteArray::number(i).rightJustified(4, '0') + padding + ".mp3");
    file("z/three.mp3");
    const FailingFolderReads fault("failing");
    const QByteArray p = m_root.toUtf8();
    for (const char* threads : {"1", "2", "3", "16"}) {
        const CmdRun result = run(dirLine(m_root, "*.mp3", m_list, false), {"--threads", threads});
        EXPECT_EQ(result.exitCode, 0) << threads << " threads";
        EXPECT_EQ(result.err, "mixgen-cmd: line 1: could not read the folder \"" + p +
                                  "failing/\" whole: Input/output error\n")
            << threads << " threads";
        const QList<QByteArray> lines = readFile(m_list).split('\n');
        ASSERT_GT(lines.size(), 3) << threads << " threads";
        EXPECT_LT(lines.size(), 3000) << threads << " threads: nothing failed";
        EXPECT_EQ(lines.first(), p + "a/one.mp3\r");
        EXPECT_EQ(lines[lines.size() - 2], p + "z/three.mp3\r");
    }
}

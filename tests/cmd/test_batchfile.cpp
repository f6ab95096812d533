// Whole runs of mixgen-cmd: the lines of a batch file other than the walk itself.
#include "cmdrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace mixgen::test;

namespace {

class BatchFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path() + "/music/";
        m_list = m_dir.path() + "/mixgen.lst";
        m_batch = m_dir.path() + "/mixgen.bat";
    }
    CmdRun run(const QByteArray& batch) { return runBatch(m_batch, batch); }

    QTemporaryDir m_dir;
    QString m_root;
    QString m_list;
    QString m_batch;
};

QByteArray line16() {
    QByteArray line;
    for (int i = 0; i < 16; ++i)
        line += "─";
    return line;
}

QByteArray box(const QByteArray& middle) {
    return "echo   ┌" + line16() + "┐\r\necho   │" + middle + "│\r\necho   └" + line16() + "┘\r\n";
}

QByteArray shownBox(const QByteArray& middle) {
    return "  ┌" + line16() + "┐\n  │" + middle + "│\n  └" + line16() + "┘\n";
}

} // namespace

// Catches the song search's batch file not running as a whole: the box's characters not
// echoed as written, "echo." not an empty line, "@echo off" or "cls" printing anything into a pipe,
// and the list not in the order of the lines.
TEST_F(BatchFileTest, RunsTheSearchBatchFile) {
    writeFile(m_root + "one/a.mp3", "x");
    writeFile(m_root + "one/b.wav", "x");
    writeFile(m_root + "two/c.MP3", "x");
    const QByteArray batch = "@echo off\r\n" + box(" Now working... ") +
                             dirLine(m_root + "one/", "*.MP?", m_list, false) +
                             dirLine(m_root + "one/", "*.WAV", m_list, true) +
                             dirLine(m_root + "two/", "*.MP?", m_list, true) + "cls\r\n" +
                             box("      Done      ") + "echo.\r\necho.\r\necho.\r\n" +
                             "echo Note: You can check the option \"Close on exit\" at the "
                             "properties\r\n";
    const CmdRun result = run(batch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, QByteArray());
    EXPECT_EQ(result.out, shownBox(" Now working... ") + shownBox("      Done      ") +
                              "\n\n\nNote: You can check the option \"Close on exit\" at the "
                              "properties\n");
    const QByteArray p = m_root.toUtf8();
    EXPECT_EQ(readFile(m_list), p + "one/a.mp3\r\n" + p + "one/b.wav\r\n" + p + "two/c.MP3\r\n");
}

// Catches LF-only batch files failing (the CR would end up in the target's name).
TEST_F(BatchFileTest, AcceptsLfLineEnds) {
    writeFile(m_root + "a.mp3", "x");
    QByteArray line = dirLine(m_root, "*.mp3", m_list, false);
    line.replace("\r\n", "\n");
    EXPECT_EQ(run("echo hi\n" + line).exitCode, 0);
    EXPECT_EQ(readFile(m_list), m_root.toUtf8() + "a.mp3\r\n");
    EXPECT_FALSE(QFileInfo::exists(m_list + "\r"));
}

// Catches ">" appending or ">>" emptying.
TEST_F(BatchFileTest, EmptiesOrAppends) {
    writeFile(m_root + "a.mp3", "x");
    const QByteArray expected = m_root.toUtf8() + "a.mp3\r\n";
    writeFile(m_list, "old\r\n");
    ASSERT_EQ(run(dirLine(m_root, "*.mp3", m_list, true)).exitCode, 0);
    EXPECT_EQ(readFile(m_list), "old\r\n" + expected);
    ASSERT_EQ(run(dirLine(m_root, "*.mp3", m_list, false)).exitCode, 0);
    EXPECT_EQ(readFile(m_list), expected);
    // A later ">" in the same file throws away what earlier lines wrote.
    ASSERT_EQ(run(dirLine(m_root, "*.mp3", m_list, false) + dirLine(m_root, "*.wav", m_list, false))
                  .exitCode,
              0);
    EXPECT_EQ(readFile(m_list), QByteArray());
}

// Catches the interpreter running, or silently dropping, lines it does not understand: each
// is reported with its number and skipped, and the lines after it still run.
TEST_F(BatchFileTest, ReportsAndSkipsUnknownLines) {
    writeFile(m_root + "a.mp3", "x");
    const QString victim = m_dir.path() + "/victim";
    writeFile(victim, "keep");
    const QByteArray batch = "@echo off\r\n"
                             "del " +
                             victim.toUtf8() +
                             "\r\n"
                             "echo first\r\n"
                             "rm -f " +
                             victim.toUtf8() + "\r\n" + dirLine(m_root, "*.mp3", m_list, false) +
                             "dir \"" + m_root.toUtf8() + "*.mp3\" /w>" + victim.toUtf8() +
                             "\r\necho last\r\n";
    const CmdRun result = run(batch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "first\nlast\n");
    EXPECT_TRUE(result.err.contains("line 2")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("line 4")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("line 6")) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains("line 3"));
    EXPECT_FALSE(result.err.contains("line 5"));
    EXPECT_EQ(readFile(victim), "keep");
    EXPECT_EQ(readFile(m_list), m_root.toUtf8() + "a.mp3\r\n");
}

// Catches the list being written through a symbolic link planted at its name (which would
// overwrite the file it points to); the line is reported and the run goes on.
TEST_F(BatchFileTest, RefusesAPlantedLink) {
    writeFile(m_root + "a.mp3", "x");
    const QString victim = m_dir.path() + "/victim";
    writeFile(victim, "keep");
    ASSERT_TRUE(QFile::link(victim, m_list));
    const QString other = m_dir.path() + "/other.lst";
    const CmdRun result =
        run(dirLine(m_root, "*.mp3", m_list, false) + dirLine(m_root, "*.mp3", m_list, true) +
            dirLine(m_root, "*.mp3", other, false));
    // A list that could not be written fails the run, so the program does not trust it.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readFile(victim), "keep");
    EXPECT_TRUE(QFileInfo(m_list).isSymLink());
    EXPECT_TRUE(result.err.contains("line 1")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("line 2")) << result.err.toStdString();
    EXPECT_EQ(readFile(other), m_root.toUtf8() + "a.mp3\r\n");
}

// Catches a list written beside the named file when the target holds blanks, or the target's
// leading blanks kept.
TEST_F(BatchFileTest, WritesTargetsWithBlanks) {
    writeFile(m_root + "a.mp3", "x");
    const QString target = m_dir.path() + "/my work/list file.lst";
    QDir().mkpath(m_dir.path() + "/my work");
    const QByteArray line =
        "dir \"" + m_root.toUtf8() + "*.MP3\" /S /B >  " + target.toUtf8() + "\r\n";
    ASSERT_EQ(run(line).exitCode, 0);
    EXPECT_EQ(readFile(target), m_root.toUtf8() + "a.mp3\r\n");
}

// Catches a dir line without redirection losing its list (it goes to standard output, in
// order with the echo lines).
TEST_F(BatchFileTest, ListsToStandardOutputWithoutRedirection) {
    writeFile(m_root + "é.mp3", "x");
    const QByteArray batch =
        "echo before\r\ndir \"" + m_root.toUtf8() + "*.mp3\" /s /b\r\necho after\r\n";
    const CmdRun result = run(batch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "before\n" + m_root.toUtf8() + "é.mp3\r\nafter\n");
}

// Catches a missing batch file or a wrong call being reported as a successful run.
TEST_F(BatchFileTest, FailsWithoutABatchFile) {
    const CmdRun missing = runProgram(cmdProgram(), {m_dir.path() + "/none.bat"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.err.contains("none.bat")) << missing.err.toStdString();
    EXPECT_NE(runProgram(cmdProgram(), {}).exitCode, 0);
    EXPECT_NE(runProgram(cmdProgram(), {"a.bat", "b.bat"}).exitCode, 0);
}

// Catches a folder name holding a quote and switch-like text being cut at its first quote
// (listing another folder and writing the list somewhere else), and a list that cannot be
// written whole reported as success.
TEST_F(BatchFileTest, QuotedFolderNamesAndFailedListWrites) {
    const QString odd = m_dir.path() + "/c\"/s/b>d/";
    writeFile(odd + "a.mp3", "x");
    writeFile(m_dir.path() + "/c/b.mp3", "x");
    CmdRun result = run(dirLine(odd, "*.mp3", m_list, false));
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readFile(m_list), odd.toUtf8() + "a.mp3\r\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), (QStringList{"mixgen.bat", "mixgen.lst"}));

    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    result = run(dirLine(odd, "*.mp3", m_list, false) + dirLine(odd, "*.mp3", "/dev/full", true));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("line 2: writing the list failed")) << result.err.toStdString();
}

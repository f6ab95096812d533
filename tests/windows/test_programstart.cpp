// The built program started the way a file manager's action and a shell start it: folders
// picked together, and folder names that are not valid UTF-8.
#include "app/contextmenu.h"
#include "app/filemanageractions.h"
#include "testenv.h"
#include "windowstestkit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

class ProgramStartTest : public ::testing::Test {
protected:
    ProgramStartTest() { QDir().mkpath(music); }

    // Runs a shell command line without a display, with $MUSIC and $PROGRAM set; the names it
    // makes with printf reach the program as their own bytes.
    int shell(const QString& commandLine, QByteArray* errors = nullptr) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("MUSIC", music);
        env.insert("PROGRAM", program);
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(music);
        run.start("/bin/sh", {"-c", commandLine});
        EXPECT_TRUE(run.waitForFinished(60000));
        if (errors)
            *errors = run.readAllStandardError();
        return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
    }
    // The folders below music whose songs are in the playlist.
    QSet<QString> foldersIn(const QString& playlist) const {
        QSet<QString> folders;
        for (const QString& line : test::playlistLines(playlist))
            folders.insert(line.mid(music.size() + 1).section(u'/', 0, 0));
        return folders;
    }

    QTemporaryDir dir;
    const QString music = dir.path() + "/Music";
    const QString program = QStringLiteral(MIXGEN_BIN_DIR "/mixgen");
};

// Catches folders picked together that do not make one playlist from the one start the action
// makes, and a folder whose name is not valid UTF-8 that the entry's run refuses as "not a
// folder" or loses on its way through the loader.
TEST_F(ProgramStartTest, TwentyFoldersPickedTogetherMakeOnePlaylist) {
    ASSERT_TRUE(ApplyEntries({true, false, false}, "100000", true, program).isEmpty());
    const QString script = fileManagerActionFiles(entryMenuText(0))[1];
    const QString playlist = qEnvironmentVariable("TEMP") + "/MIXGEN.M3U";
    QFile::remove(playlist);
    QSet<QString> expected;
    for (int i = 1; i <= 19; ++i) {
        const QString name = QStringLiteral("Folder %1").arg(i, 2, 10, QLatin1Char('0'));
        test::makeSongTree(music + "/" + name, {"song.mp3"});
        expected.insert(name);
    }
    ASSERT_EQ(shell("mkdir \"$(printf 'Caf\\351')\" && : > \"$(printf 'Caf\\351')/song.mp3\""), 0);
    expected.insert("Caf_"); // the design's "_" for a character the list cannot carry

    QByteArray errors;
    EXPECT_EQ(shell("exec '" + script + "' *", &errors), 0) << errors.toStdString();
    EXPECT_EQ(foldersIn(playlist), expected);
    EXPECT_EQ(test::playlistLines(playlist).size(), 20);
    EXPECT_FALSE(errors.contains("not a folder")) << errors.toStdString();
}

// Catches a folder given on the command line whose name is not valid UTF-8 that is searched
// under a changed name and so yields no songs.
TEST_F(ProgramStartTest, FolderNamedInLatin1OnTheCommandLineIsSearched) {
    const QString output = dir.path() + "/mix";
    QByteArray errors;
    EXPECT_EQ(shell("f=\"$MUSIC/$(printf 'Caf\\351 Noir')\" && mkdir \"$f\" && : > \"$f/a.mp3\" "
                    "&& : > \"$f/b.mp3\" && exec \"$PROGRAM\" \"/P:$f /O:" +
                        output + " /N:5 /S /Y\"",
                    &errors),
              0)
        << errors.toStdString();
    EXPECT_EQ(test::playlistLines(output + ".M3U").size(), 2);

    // Catches the playlist's default place, inside that folder, written under a changed name.
    EXPECT_EQ(shell("f=\"$MUSIC/$(printf 'Caf\\351 Noir')\" && exec \"$PROGRAM\" \"/P:$f /N:5 /S\"",
                    &errors),
              0)
        << errors.toStdString();
    EXPECT_EQ(shell("test -s \"$MUSIC/$(printf 'Caf\\351 Noir')/MIXGEN.M3U\""), 0);
}

} // namespace
} // namespace mixgen

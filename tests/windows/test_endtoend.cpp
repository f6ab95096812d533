// The built program started as a user would start it without a display: requests on the
// command line over real song trees, checked through the playlist files, the settings file,
// the work folder, the messages on standard error and the exit status.
#include "app/helptext.h"
#include "core/settingsstore.h"
#include "testenv.h"
#include "windowstestkit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest() {
        for (const char* folder : {"temp", "config", "data", "home", "runtime", "bin", "lists"})
            QDir().mkpath(dir.path() + "/" + folder);
        QFile::setPermissions(dir.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        test::makeSongTree(songs, {"one.mp3", "two.mp3", "three.MP3", "Live/four.mp3",
                                   "Live/five.mp3", "cover.jpg"});
    }

    QTemporaryDir dir;
    const QString songs = dir.path() + "/Music Library";
    const QString output = dir.path() + "/lists/mix.M3U";
    const QString temp = dir.path() + "/temp";
    SettingsStore settings{dir.path() + "/config/MIXGEN/MIXGEN.ini"};

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("TEMP", temp);
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("XDG_RUNTIME_DIR", dir.path() + "/runtime");
        env.insert("HOME", dir.path() + "/home");
        env.insert("PATH", dir.path() + "/bin:" + env.value("PATH"));
        return env;
    }
    void start(QProcess& process, const QStringList& arguments,
               const QProcessEnvironment& env) const {
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(MIXGEN_BIN_DIR "/mixgen"), arguments);
        process.closeWriteChannel(); // no terminal: questions get the answer that changes nothing
    }
    static Outcome finish(QProcess& process) {
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Outcome run(const QStringList& arguments) const {
        QProcess process;
        start(process, arguments, environment());
        return finish(process);
    }
    // The one argument a shell passes for a quoted request.
    Outcome request(const QString& switches) const { return run({switches}); }

    QStringList songPaths() const {
        QStringList paths;
        for (const char* name :
             {"one.mp3", "two.mp3", "three.MP3", "Live/four.mp3", "Live/five.mp3"})
            paths.append(songs + "/" + name);
        return paths;
    }
    void expectSongsFromTheTree(const QStringList& lines, int count) const {
        EXPECT_EQ(lines.size(), count);
        EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
        for (const QString& line : lines)
            EXPECT_TRUE(songPaths().contains(line)) << line.toStdString();
    }
    QStringList workFiles() const { return QDir(temp).entryList(QDir::Files); }
};

// The whole road of a request: playlist written, histories recorded, work folder clean,
// nothing said, status 0; an existing file is overwritten under "/Y".
TEST_F(EndToEndTest, RequestWritesThePlaylistAndRecordsIt) {
    test::writeFile(output, "old line\r\n");
    const Outcome outcome = request("/P:" + songs + " /O:" + output + " /N:3 /Y");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err, "");
    expectSongsFromTheTree(test::playlistLines(output), 3);
    EXPECT_EQ(settings.GetSetting("PathMRU", "A"), songs);
    EXPECT_EQ(settings.GetSetting("OutputMRU", "A"), output);
    EXPECT_TRUE(workFiles().isEmpty()) << workFiles().join(' ').toStdString();

    // A second request: newest first in both histories.
    const QString second = dir.path() + "/lists/Second";
    EXPECT_EQ(request("/P:" + songs + "/Live /O:" + second + " /N:1").status, 0);
    EXPECT_EQ(settings.GetSetting("PathMRU", "A"), songs + "/Live");
    EXPECT_EQ(settings.GetSetting("PathMRU", "B"), songs);
    EXPECT_EQ(settings.GetSetting("OutputMRU", "A"), second + ".M3U");
    EXPECT_EQ(settings.GetSetting("OutputMRU", "B"), output);
}

// Without "/Y" and without a terminal an existing playlist is kept: the question is printed,
// answered Cancel, and the command-line run ends with a failure status.
TEST_F(EndToEndTest, ExistingPlaylistWithoutYesIsKept) {
    test::writeFile(output, "keep\r\n");
    const Outcome outcome = request("/P:" + songs + " /O:" + output + " /N:3");
    EXPECT_NE(outcome.status, 0);
    EXPECT_EQ(outcome.err, "MP3 Tunepicker [information]: Playlist file already exists! "
                           "Overwrite file?\nAnswered Cancel (no terminal to ask).\n");
    EXPECT_EQ(test::readFile(output), "keep\r\n");
    EXPECT_TRUE(workFiles().isEmpty());
}

// A name without a folder lands in the searched folder; a missing output needs no "/Y"; a
// number that is no number means 1000; a half rounds to the even neighbour.
TEST_F(EndToEndTest, OutputNameAndNumberForms) {
    Outcome outcome = request("/P:" + songs + " /O:party /N:abc");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    expectSongsFromTheTree(test::playlistLines(songs + "/party.M3U"), 5);

    outcome = request("/p:" + songs + " /o:" + output + " /n:2.5 /y");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    expectSongsFromTheTree(test::playlistLines(output), 2);
}

// Catches a name in another script written into the playlist as anything but its own bytes
// ("_" in place of its letters), warned about, or not playable: a real player
// plays every entry of a playlist over tiny real MP3 files named in eight scripts.
TEST_F(EndToEndTest, PlaylistOfNamesInEveryScriptPlays) {
    const QString library = dir.path() + "/Библиотека";
    const QStringList names = {
        QStringLiteral("Кино/Группа крови.mp3"),
        QStringLiteral("日本/夜に駆ける.mp3"),
        QStringLiteral("Ελληνικά.mp3"),
        QStringLiteral("Björk – Jóga.mp3"),
        QStringLiteral("فيروز/أغنية.mp3"),
        QStringLiteral("עברית/שיר.mp3"),
        QStringLiteral("中文/月亮代表我的心.mp3"),
        QStringLiteral("e\u0301te\u0301 🎵.mp3"),
        QStringLiteral("ไทย.mp3"),
    };
    // One silent MPEG-1 layer III frame (128 kbit/s, 44.1 kHz), a few times over.
    const QByteArray frame = QByteArray::fromHex("fffb9000") + QByteArray(413, '\0');
    QByteArray expected;
    for (const QString& name : names) {
        test::writeFile(library + "/" + name, frame.repeated(8));
        expected += (library + "/" + name).toUtf8() + "\r\n";
    }
    const QString playlist = dir.path() + "/lists/mix.m3u8";
    const Outcome outcome = request("/P:" + library + " /O:" + playlist + " /N:100");
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err, "");
    QByteArrayList written = test::readFile(playlist).split('\n');
    QByteArrayList wanted = expected.split('\n');
    std::sort(written.begin(), written.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(written, wanted);

    QProcess player;
    player.start("mpg123", {"-q", "-t", "-@", playlist});
    ASSERT_TRUE(player.waitForFinished(60000)) << "mpg123 (scripts/setup.sh installs it)";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
}

// Silent runs end by themselves after a result; without one the message is printed and the
// status says so.
TEST_F(EndToEndTest, SilentRuns) {
    Outcome outcome = request("/P:" + songs + " /O:" + output + " /N:4 /S");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err, "");
    expectSongsFromTheTree(test::playlistLines(output), 4);

    QDir().mkpath(dir.path() + "/empty");
    outcome = request("/P:" + dir.path() + "/empty /O:" + output + " /S /Y");
    EXPECT_NE(outcome.status, 0);
    EXPECT_EQ(outcome.err,
              "MP3 Tunepicker [information]: No files were found. Playlist is empty.\n");
    EXPECT_EQ(test::readFile(output), QByteArray());
}

// "/A" opens the playlist with xdg-open; "/E" hands it to the player with "/ADD" and wins
// over "/A".
TEST_F(EndToEndTest, OpenAndEnqueueSwitches) {
    test::writeRecorder(dir.path() + "/bin/xdg-open", dir.path() + "/opened");
    Outcome outcome = request("/P:" + songs + " /O:" + output + " /N:2 /A");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(test::waitForRecording(dir.path() + "/opened"), QStringList{output});

    const QString player = dir.path() + "/Players/winamp";
    test::writeRecorder(player, dir.path() + "/enqueued");
    settings.SaveSetting("Settings", "Winamp.exe", player);
    outcome = request("/P:" + songs + " /O:" + output + " /N:2 /A /E /Y");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(test::waitForRecording(dir.path() + "/enqueued"), (QStringList{"/ADD", output}));
}

// "/E" without a player: the question is printed and answered No; the playlist stands.
TEST_F(EndToEndTest, EnqueueWithoutAPlayer) {
    const Outcome outcome = request("/P:" + songs + " /O:" + output + " /N:2 /E");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "MP3 Tunepicker [critical]: Cannot Enqueue playlist.\n\nPlease set "
                           "Winamp Executable at the Options screen.\n\nWould you like to go "
                           "there now?\nAnswered No (no terminal to ask).\n");
    EXPECT_EQ(test::playlistLines(output).size(), 2);
}

// Requests that cannot succeed end with a failure status and say why: no path, a folder that
// is not there, an output folder that is not there.
TEST_F(EndToEndTest, BadRequestsFail) {
    Outcome outcome = request("/O:" + output + " /N:5");
    EXPECT_NE(outcome.status, 0);
    EXPECT_EQ(outcome.err, "MP3 Tunepicker [critical]: Set path to search for mp3's first!\n");
    EXPECT_EQ(settings.GetSetting("PathMRU", "A", "<none>"), "<none>");

    outcome = request("/P:" + dir.path() + "/nowhere /O:" + output + " /N:5");
    EXPECT_NE(outcome.status, 0);
    EXPECT_TRUE(outcome.err.endsWith(
        "MP3 Tunepicker [information]: No files were found. Playlist is empty.\n"))
        << outcome.err.toStdString();
    EXPECT_TRUE(workFiles().isEmpty());

    const QString lost = dir.path() + "/missing/mix.M3U";
    outcome = run({"/P:" + songs, "/O:" + lost, "/N:5"});
    EXPECT_NE(outcome.status, 0);
    EXPECT_TRUE(outcome.err.contains("[exclamation]: An error occured while trying to write to "
                                     "file " +
                                     lost.toUpper()))
        << outcome.err.toStdString();
    EXPECT_FALSE(QFile::exists(lost));
}

// Start-ups that make no playlist: none waits for a person, each ends with 0.
TEST_F(EndToEndTest, HelpVersionAndNothingToDo) {
    Outcome outcome = run({"/?"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, commandLineHelpText().replace("\r\n", "\n") + "\n");

    outcome = run({"--version"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "MP3 Tunepicker v2.2.3\n");

    outcome = run({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.startsWith("Usage: mixgen")) << outcome.out.toStdString();

    outcome = run({"-h"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.startsWith("Usage: mixgen")) << outcome.out.toStdString();
}

// Catches a start that cannot do anything ending silently with 0, and a mistyped option being
// taken for a request.
TEST_F(EndToEndTest, StartsThatCannotServeSayWhy) {
    Outcome outcome = run({});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.err.contains("need a display")) << outcome.err.toStdString();

    outcome = run({"--bogus"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.count(u'\n'), 1);
    EXPECT_TRUE(outcome.err.contains("'--bogus'")) << outcome.err.toStdString();
}

// The README's demo command: the bundled library, five songs.
TEST_F(EndToEndTest, DemoCommand) {
    const QString demo = QDir::cleanPath(QStringLiteral(MIXGEN_TEST_DATA "/../../data/demo"));
    const QString playlist = dir.path() + "/DEMO.M3U";
    const Outcome outcome = request("/P:" + demo + " /O:" + playlist + " /N:5 /Y");
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QStringList lines = test::playlistLines(playlist);
    EXPECT_EQ(lines.size(), 5);
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(demo + "/") && QFile::exists(line)) << line.toStdString();
}

// Requests started together mixing their songs or failing (they shared one batch and one
// list file), and noise on standard output or from Qt on standard error.
TEST_F(EndToEndTest, RequestsAtTheSameTimeEachGetTheirOwnSongs) {
    constexpr int kRequests = 8;
    QProcessEnvironment env = environment();
    env.remove("XDG_RUNTIME_DIR"); // Qt would warn about the missing runtime folder
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < kRequests; ++i) {
        const QString folder = QStringLiteral("%1/own/%2").arg(dir.path()).arg(i);
        test::makeSongTree(folder,
                           {QStringLiteral("a%1.mp3").arg(i), QStringLiteral("b%1.mp3").arg(i)});
        processes.push_back(std::make_unique<QProcess>());
        start(*processes.back(), {QStringLiteral("/P:%1 /O:%1/mix /N:10 /Y").arg(folder)}, env);
    }
    for (int i = 0; i < kRequests; ++i) {
        const Outcome outcome = finish(*processes[i]);
        const QString folder = QStringLiteral("%1/own/%2").arg(dir.path()).arg(i);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "");
        QStringList lines = test::playlistLines(folder + "/mix.M3U");
        lines.sort();
        EXPECT_EQ(lines, (QStringList{QStringLiteral("%1/a%2.mp3").arg(folder).arg(i),
                                      QStringLiteral("%1/b%2.mp3").arg(folder).arg(i)}));
    }
    EXPECT_TRUE(workFiles().isEmpty()) << workFiles().join(' ').toStdString();
}

} // namespace
} // namespace mixgen

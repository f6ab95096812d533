// The loader as the desktop uses it: several instances of the built program started at once
// without a display, one folder each, and what they leave behind; a collector killed in the
// middle; markers planted by someone else.
#include "core/settingsstore.h"
#include "testenv.h"
#include "windowstestkit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace mixgen {
namespace {

class LoaderRunTest : public ::testing::Test {
protected:
    LoaderRunTest() {
        for (const char* folder : {"temp", "config", "home", "runtime"})
            QDir().mkpath(dir.path() + "/" + folder);
    }

    // A folder with two songs of its own.
    QString songFolder(const QString& name) const {
        const QString folder = dir.path() + "/" + name;
        test::makeSongTree(folder, {"first.mp3", "sub/second.mp3"});
        return folder;
    }
    std::unique_ptr<QProcess> start(const QString& request) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("TEMP", dir.path() + "/temp");
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", dir.path() + "/runtime");
        env.insert("HOME", dir.path() + "/home");
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(MIXGEN_BIN_DIR "/mixgen"), {request});
        process->closeWriteChannel();
        return process;
    }
    static int finish(QProcess& process) {
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString request(const QString& folder) const {
        return "/P:" + folder + " /O:" + output + " /N:100000 /S /Y /LOADER";
    }
    // The folders whose songs are in the playlist.
    QSet<QString> foldersInPlaylist() const {
        QSet<QString> folders;
        for (const QString& line : test::playlistLines(output))
            folders.insert(line.section(u'/', 0, dir.path().count(u'/') + 1));
        return folders;
    }
    QString loaderKey(const char* key) const {
        return settings.GetSetting("Loader", key, "<missing>");
    }
    QStringList leftInTemp() const {
        return QDir(dir.path() + "/temp").entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir dir;
    const QString output = dir.path() + "/out/mix.M3U";
    SettingsStore settings{dir.path() + "/config/MIXGEN/MIXGEN.ini"};
};

// Instances started together with awkward folder names make exactly one playlist that holds
// every folder; afterwards the loader keys and the marker are gone.
TEST_F(LoaderRunTest, InstancesStartedTogetherMakeOnePlaylist) {
    QDir().mkpath(dir.path() + "/out");
    const QStringList names = {"My Music", "Quote \"Live\"", "Ünïcödé Songs", "-leading", "plain"};
    QSet<QString> folders;
    std::vector<std::unique_ptr<QProcess>> instances;
    for (const QString& name : names) {
        folders.insert(songFolder(name));
        instances.push_back(start(request(dir.path() + "/" + name)));
    }
    for (auto& instance : instances)
        EXPECT_EQ(finish(*instance), 0) << instance->readAllStandardError().toStdString();

    EXPECT_EQ(foldersInPlaylist(), folders);
    EXPECT_EQ(test::playlistLines(output).size(), 2 * names.size());
    // One generation: one path list in the history.
    EXPECT_NE(settings.GetSetting("PathMRU", "A"), "");
    EXPECT_EQ(settings.GetSetting("PathMRU", "B", ""), "");
    EXPECT_EQ(loaderKey("IsLoader"), "<missing>");
    EXPECT_EQ(loaderKey("Folders"), "<missing>");
    EXPECT_TRUE(leftInTemp().isEmpty()) << leftInTemp().join(' ').toStdString();
}

// The collector killed while it collects: the next "/LOADER" start takes its place, searches
// the folder the dead one had too, and nobody waits forever.
TEST_F(LoaderRunTest, KilledCollectorDoesNotBlockTheNextStart) {
    QDir().mkpath(dir.path() + "/out");
    const QString first = songFolder("first");
    const QString second = songFolder("second");
    auto collector = start(request(first));
    QElapsedTimer waited;
    waited.start();
    while (loaderKey("IsLoader") != "True" && waited.elapsed() < 20000)
        QThread::msleep(10);
    ASSERT_EQ(loaderKey("IsLoader"), "True");
    collector->kill();
    collector->waitForFinished();

    auto next = start(request(second));
    EXPECT_EQ(finish(*next), 0) << next->readAllStandardError().toStdString();
    EXPECT_EQ(foldersInPlaylist(), QSet<QString>({first, second}));
    EXPECT_EQ(loaderKey("IsLoader"), "<missing>");
}

// A marker planted as a link is never followed: the instance says why and ends with a
// failure, soon; the link's target is untouched. "/LOADER" without "/P:" collects an empty
// entry and reports the missing path.
TEST_F(LoaderRunTest, PlantedMarkerAndMissingPath) {
    const QString victim = dir.path() + "/victim";
    test::writeFile(victim, "keep");
    ASSERT_TRUE(QFile::link(victim, dir.path() + "/temp/~MIXGEN.TMP"));
    auto refused = start(request(songFolder("songs")));
    EXPECT_NE(finish(*refused), 0);
    const QString err = QString::fromUtf8(refused->readAllStandardError());
    EXPECT_TRUE(err.contains("[critical]: Could not lock the loader's marker file"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("symbolic link")) << err.toStdString();
    EXPECT_EQ(test::readFile(victim), "keep");
    EXPECT_FALSE(QFileInfo::exists(output));
    QFile::remove(dir.path() + "/temp/~MIXGEN.TMP");

    auto pathless = start("/O:" + output + " /S /Y /LOADER");
    EXPECT_NE(finish(*pathless), 0);
    EXPECT_TRUE(pathless->readAllStandardError().contains("Set path to search for mp3's first!"));
    EXPECT_EQ(loaderKey("Folders"), "<missing>");
}

} // namespace
} // namespace mixgen

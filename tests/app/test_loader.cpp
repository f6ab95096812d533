#include "app/loader.h"

#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace mixgen;
using namespace std::chrono_literals;

namespace {

class LoaderTest : public ::testing::Test {
protected:
    LoaderTest() {
        store.DeleteSetting(keys::kLoader, keys::kIsLoader);
        store.DeleteSetting(keys::kLoader, keys::kFolders);
    }

    std::unique_ptr<FolderLoader> instance(LockWait wait = {}) const {
        return std::make_unique<FolderLoader>(work, nullptr, wait);
    }
    QString loaderKey(const char* key) const {
        return store.GetSetting(keys::kLoader, key, QStringLiteral("<missing>"));
    }

    QTemporaryDir dir;
    const QString work = dir.path() + "/";
    SettingsStore store;
};

// The whole hand-over: the first instance collects, the others append in the order they came
// (names keep their case and blanks; one without a folder adds an empty entry); the collector
// sees the arrivals, and when nothing more comes it leaves no key, no marker and no role.
TEST_F(LoaderTest, FirstCollectsOthersAppendAndNothingIsLeftBehind) {
    auto collector = instance();
    ASSERT_EQ(collector->handOver("/music/Jazz Folder"), FolderLoader::HandOver::Collect);
    EXPECT_EQ(collector->folders(), "/music/Jazz Folder");
    EXPECT_EQ(loaderKey(keys::kIsLoader), "True");

    EXPECT_EQ(instance()->handOver("/music/Ünïcode"), FolderLoader::HandOver::HandedOver);
    EXPECT_EQ(instance()->handOver(""), FolderLoader::HandOver::HandedOver);
    EXPECT_EQ(instance()->handOver("/music/-lead"), FolderLoader::HandOver::HandedOver);

    const QString all = "/music/Jazz Folder;/music/Ünïcode;;/music/-lead";
    ASSERT_EQ(collector->collect("/music/Jazz Folder"), FolderLoader::Check::Changed);
    EXPECT_EQ(collector->folders(), all);
    EXPECT_EQ(collector->collect(all), FolderLoader::Check::Done);
    EXPECT_FALSE(collector->collecting());
    EXPECT_EQ(loaderKey(keys::kIsLoader), "<missing>");
    EXPECT_EQ(loaderKey(keys::kFolders), "<missing>");
    EXPECT_TRUE(QDir(work).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());

    // The next start begins a new hand-over.
    EXPECT_EQ(instance()->handOver("/next"), FolderLoader::HandOver::Collect);
}

// A collector that died before cleaning up (its lock went with it) must not swallow every
// later folder: the next instance takes the role and the folders the dead one had.
TEST_F(LoaderTest, DeadCollectorIsReplacedAndItsFoldersKept) {
    auto dead = instance();
    ASSERT_EQ(dead->handOver("/a"), FolderLoader::HandOver::Collect);
    EXPECT_EQ(instance()->handOver("/b"), FolderLoader::HandOver::HandedOver);
    dead.reset();

    auto next = instance();
    ASSERT_EQ(next->handOver("/c"), FolderLoader::HandOver::Collect);
    EXPECT_EQ(next->folders(), "/a;/b;/c");
    EXPECT_EQ(instance()->handOver("/d"), FolderLoader::HandOver::HandedOver);

    // Keys left over with no collector recorded: the old folders are searched too.
    store.DeleteSetting(keys::kLoader, keys::kIsLoader);
    next.reset();
    store.SaveSetting(keys::kLoader, keys::kFolders, "/old");
    auto fresh = instance();
    ASSERT_EQ(fresh->handOver("/e"), FolderLoader::HandOver::Collect);
    EXPECT_EQ(fresh->folders(), "/old;/e");
}

// The collector's final check waits for the lock: while another instance is inside its
// hand-over, it neither deletes the keys nor declares itself done.
TEST_F(LoaderTest, FinalCheckWaitsForTheLock) {
    auto collector = instance({200ms, 200ms, 5ms});
    ASSERT_EQ(collector->handOver("/a"), FolderLoader::HandOver::Collect);
    MarkerLock other;
    ASSERT_EQ(other.tryLock(collector->markerPath()), MarkerLock::Attempt::Locked);
    EXPECT_EQ(collector->collect("/a"), FolderLoader::Check::NoLock);
    EXPECT_TRUE(collector->problem().contains("another instance held it"));
    EXPECT_EQ(loaderKey(keys::kFolders), "/a");
    // It gave the role up, so the next instance collects instead of handing over to nobody.
    other.release();
    EXPECT_EQ(instance()->handOver("/b"), FolderLoader::HandOver::Collect);
}

// A marker that cannot be used (a planted link, an unwritable or missing work folder) ends
// the wait soon with the reason, and nothing is handed over.
TEST_F(LoaderTest, UnusableMarkerEndsTheWaitWithAReason) {
    test::writeFile(dir.path() + "/victim", "keep");
    ASSERT_TRUE(QFile::link(dir.path() + "/victim", work + kLoaderMarkerName));
    auto loader = instance({5000ms, 100ms, 5ms});
    EXPECT_EQ(loader->handOver("/a"), FolderLoader::HandOver::NoLock);
    EXPECT_TRUE(loader->problem().contains(work + kLoaderMarkerName));
    EXPECT_TRUE(loader->problem().contains("symbolic link"));
    EXPECT_EQ(test::readFile(dir.path() + "/victim"), "keep");
    EXPECT_EQ(loaderKey(keys::kFolders), "<missing>");

    auto missing = std::make_unique<FolderLoader>(dir.path() + "/gone/", nullptr,
                                                  LockWait{5000ms, 100ms, 5ms});
    EXPECT_EQ(missing->handOver("/a"), FolderLoader::HandOver::NoLock);
    EXPECT_EQ(loaderKey(keys::kIsLoader), "<missing>");
}

} // namespace

namespace {

// A settings file that cannot be used (a folder in its place) must not let an instance
// believe it handed its folder over: it says so instead.
TEST_F(LoaderTest, UnusableSettingsFileIsSaid) {
    const QString settings = SettingsStore::defaultFilePath();
    QFile::remove(settings);
    ASSERT_TRUE(QDir().mkpath(settings));
    auto loader = instance();
    EXPECT_EQ(loader->handOver("/a"), FolderLoader::HandOver::NoLock);
    EXPECT_TRUE(loader->problem().contains(settings)) << loader->problem().toStdString();
    EXPECT_FALSE(loader->collecting());
    ASSERT_TRUE(QDir().rmdir(settings));

    // Catches a read-only settings file (which writes leave as it is) taken for one that
    // takes the folder.
    SettingsStore().SaveSetting(QLatin1String(keys::kSettings), QLatin1String(keys::kAction),
                                QStringLiteral("None"));
    ASSERT_TRUE(QFile::setPermissions(settings, QFile::ReadOwner | QFile::ReadGroup));
    auto readOnly = instance();
    EXPECT_EQ(readOnly->handOver("/a"), FolderLoader::HandOver::NoLock);
    EXPECT_TRUE(readOnly->problem().contains("It is read-only."))
        << readOnly->problem().toStdString();
    EXPECT_EQ(loaderKey(keys::kFolders), "<missing>");
    QFile::remove(settings);
}

} // namespace

namespace {

// Catches an instance that trusts a marker or collector file of another user: one who holds
// a lock on a planted collector file made every instance end with success and no playlist.
TEST_F(LoaderTest, FilesOfAnotherUserAreRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    for (const char* planted : {kCollectorLockName, kLoaderMarkerName}) {
        const QByteArray name = QFile::encodeName(work + planted);
        QFile::remove(work + planted);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::fchown(fd, 4242, 4242), 0);
        ASSERT_EQ(::fchmod(fd, 0666), 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);

        auto loader = instance({5000ms, 100ms, 5ms});
        EXPECT_EQ(loader->handOver("/a"), FolderLoader::HandOver::NoLock) << planted;
        EXPECT_TRUE(loader->problem().contains("another user")) << loader->problem().toStdString();
        EXPECT_FALSE(loaderKey(keys::kFolders).contains("/a"));
        ::close(fd);
        ASSERT_EQ(::unlink(name.constData()), 0);
    }
}

// Catches an instance that ends with success while its folder waits in the settings for a
// collector that died: it takes the collector's place and its list instead. One whose
// collector finished ends with success.
TEST_F(LoaderTest, HandedOverInstanceWaitsUntilItsFolderIsTaken) {
    auto dead = instance();
    ASSERT_EQ(dead->handOver("/a"), FolderLoader::HandOver::Collect);
    auto waiter = instance({5000ms, 100ms, 5ms, 5ms});
    ASSERT_EQ(waiter->handOver("/b"), FolderLoader::HandOver::HandedOver);
    dead.reset();
    ASSERT_EQ(waiter->awaitCollection(), FolderLoader::HandOver::Collect);
    EXPECT_EQ(waiter->folders(), "/a;/b");
    EXPECT_EQ(instance()->handOver("/c"), FolderLoader::HandOver::HandedOver);
    EXPECT_EQ(waiter->collect("/a;/b"), FolderLoader::Check::Changed);
    EXPECT_EQ(waiter->collect("/a;/b;/c"), FolderLoader::Check::Done);

    // A living collector is waited for: it collects while the instance waits.
    auto collector = instance();
    ASSERT_EQ(collector->handOver("/x"), FolderLoader::HandOver::Collect);
    int checks = 0;
    FolderLoader::Check last = FolderLoader::Check::Changed;
    FolderLoader patient(work,
                         [&] {
                             if (last != FolderLoader::Check::Done && ++checks % 3 == 0)
                                 last = collector->collect(collector->folders());
                         },
                         {5000ms, 100ms, 1ms, 1ms, 5000ms});
    ASSERT_EQ(patient.handOver("/y"), FolderLoader::HandOver::HandedOver);
    EXPECT_EQ(patient.awaitCollection(), FolderLoader::HandOver::HandedOver);
    EXPECT_EQ(last, FolderLoader::Check::Done);
    EXPECT_EQ(loaderKey(keys::kFolders), "<missing>");
    EXPECT_FALSE(patient.collecting());
}

} // namespace

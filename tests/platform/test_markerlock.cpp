#include "platform/markerlock.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;

namespace {

class MarkerLockTest : public ::testing::Test {
protected:
    QString marker() const { return m_dir.filePath("~MIXGEN.TMP"); }
    QTemporaryDir m_dir;
};

// Two holders at once, or a lock that outlives its holder being killed.
TEST_F(MarkerLockTest, OneHolderAtATimeAndNoneAfterItsDeath) {
    MarkerLock first;
    ASSERT_EQ(first.tryLock(marker()), MarkerLock::Attempt::Locked);
    EXPECT_EQ(QFileInfo(marker()).permissions() &
                  (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
              0);
    MarkerLock second;
    EXPECT_EQ(second.tryLock(marker()), MarkerLock::Attempt::Busy);
    first.release();
    EXPECT_EQ(second.tryLock(marker()), MarkerLock::Attempt::Locked);
    second.release();

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        MarkerLock held;
        const char byte = held.tryLock(marker()) == MarkerLock::Attempt::Locked ? 'y' : 'n';
        (void)::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    EXPECT_EQ(second.tryLock(marker()), MarkerLock::Attempt::Busy);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(second.tryLock(marker()), MarkerLock::Attempt::Locked);
}

// A link, a folder or a pipe planted at the marker's place is refused at once: never followed,
// never written through, never waited on.
TEST_F(MarkerLockTest, PlantedNonFilesAreRefused) {
    const QString target = m_dir.filePath("victim");
    test::writeFile(target, "keep");
    ASSERT_TRUE(QFile::link(target, marker()));
    MarkerLock lock;
    EXPECT_EQ(lock.tryLock(marker()), MarkerLock::Attempt::Refused);
    EXPECT_FALSE(lock.why().isEmpty());
    EXPECT_EQ(test::readFile(target), "keep");
    QFile::remove(marker());

    ASSERT_TRUE(QFile::link(m_dir.filePath("nowhere"), marker()));
    EXPECT_EQ(lock.tryLock(marker()), MarkerLock::Attempt::Refused);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("nowhere")));
    QFile::remove(marker());

    ASSERT_TRUE(QDir().mkdir(marker()));
    EXPECT_EQ(lock.tryLock(marker()), MarkerLock::Attempt::Refused);
    ASSERT_TRUE(QDir().rmdir(marker()));

    ASSERT_EQ(::mkfifo(QFile::encodeName(marker()).constData(), 0600), 0);
    EXPECT_EQ(lock.tryLock(marker()), MarkerLock::Attempt::Refused);
    EXPECT_FALSE(lock.isLocked());
}

// A lock taken on a marker that its holder deleted meanwhile must not count: otherwise the
// next instance (which makes a new marker) and this one hold "the" lock at once. Processes
// that increment a shared count under the lock, deleting the marker each time, lose no step.
TEST_F(MarkerLockTest, DeletedMarkerGivesNoSecondHolder) {
    const QString count = m_dir.filePath("count");
    test::writeFile(count, "0");
    constexpr int kChildren = 4;
    constexpr int kRounds = 150;
    pid_t children[kChildren];
    for (pid_t& child : children) {
        child = ::fork();
        if (child != 0)
            continue;
        MarkerLock lock;
        int attempts = 0;
        for (int round = 0; round < kRounds;) {
            if (lock.tryLock(marker()) != MarkerLock::Attempt::Locked) {
                if (++attempts > 200000)
                    ::_exit(3); // never had the lock: no hang, the test fails
                ::usleep(50);
                continue;
            }
            QFile file(count);
            if (!file.open(QIODevice::ReadWrite))
                ::_exit(2);
            const int value = file.readAll().toInt();
            ::usleep(100);
            file.seek(0);
            file.write(QByteArray::number(value + 1));
            file.close();
            lock.removeAndRelease();
            ++round;
        }
        ::_exit(0);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(test::readFile(count).toInt(), kChildren * kRounds);
    EXPECT_FALSE(QFileInfo::exists(marker()));
}

} // namespace

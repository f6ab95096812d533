#include "platform/lockedfile.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

class LockedFileTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// Catches an update that does not create a missing folder, leaves its temporary file behind,
// or hands the editor something other than the current content.
TEST_F(LockedFileTest, CreatesFolderAndHandsTheEditorTheCurrentContent) {
    const QString path = file("a/b/store.ini");
    QByteArray seen = "unset";
    EXPECT_TRUE(updateStoreFile(path, [&](const QByteArray& current) {
        seen = current;
        return std::optional<QByteArray>("one\n");
    }));
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(readStoreFile(path), "one\n");

    EXPECT_TRUE(updateStoreFile(path, [&](const QByteArray& current) {
        seen = current;
        return std::optional<QByteArray>(current + "two\n");
    }));
    EXPECT_EQ(seen, "one\n");
    EXPECT_EQ(readStoreFile(path), "one\ntwo\n");
    EXPECT_FALSE(QFileInfo::exists(storeTempPath(path)));
    EXPECT_TRUE(readStoreFile(file("missing.ini")).isEmpty());
}

// Catches an editor's "no change" being written anyway (a needless replacement).
TEST_F(LockedFileTest, NoChangeLeavesTheFileAlone) {
    const QString path = file("store.ini");
    writeFile(path, "keep\n");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    EXPECT_TRUE(
        updateStoreFile(path, [](const QByteArray&) { return std::optional<QByteArray>(); }));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(readFile(path), "keep\n");
}

// Catches a failed step reported as success, or one that damages the old file.
TEST_F(LockedFileTest, AFailedUpdateChangesNothing) {
    const auto edit = [](const QByteArray&) { return std::optional<QByteArray>("new\n"); };

    // The folder cannot be made: a file stands where it should be.
    writeFile(file("blocker"), "x");
    EXPECT_FALSE(updateStoreFile(file("blocker/store.ini"), edit));
    EXPECT_EQ(readFile(file("blocker")), "x");

    // The temporary file cannot be made.
    const QString path = file("store.ini");
    writeFile(path, "old\n");
    writeFile(storeTempPath(path) + "/occupied", "x");
    EXPECT_FALSE(updateStoreFile(path, edit));
    EXPECT_EQ(readFile(path), "old\n");

    // The store "file" is a folder: it cannot be read, so it must not be replaced.
    const QString folder = file("folder.ini");
    QDir().mkpath(folder);
    EXPECT_FALSE(updateStoreFile(folder, edit));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

// Catches a replacement that resets the file's rights or replaces a symbolic link by a file.
TEST_F(LockedFileTest, KeepsRightsAndSymbolicLinks) {
    const auto edit = [](const QByteArray& c) { return std::optional<QByteArray>(c + "x"); };
    const QString fresh = file("fresh.ini");
    ASSERT_TRUE(updateStoreFile(fresh, edit));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0640), 0);
    ASSERT_TRUE(updateStoreFile(fresh, edit));
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const QString target = file("dotfiles/real.ini");
    writeFile(target, "a");
    const QString link = file("link.ini");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(updateStoreFile(link, edit));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), "ax");
}

// Catches a read-modify-write without the lock: processes would overwrite each other's
// increments.
TEST_F(LockedFileTest, ConcurrentProcessesLoseNoUpdate) {
    const QString path = file("counter");
    constexpr int kProcesses = 8;
    constexpr int kIncrements = 25;
    QList<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kIncrements; ++i) {
                ok = updateStoreFile(path,
                                     [](const QByteArray& c) {
                                         return std::optional<QByteArray>(
                                             QByteArray::number(c.toInt() + 1));
                                     }) &&
                     ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.append(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(readStoreFile(path).toInt(), kProcesses * kIncrements);
}

// Catches a writability check that passes where a replacement cannot work.
TEST_F(LockedFileTest, WritableOnlyWhereAReplacementCanWork) {
    EXPECT_TRUE(storeFileWritable(file("not-yet.ini")));
    writeFile(file("there.ini"), "x");
    EXPECT_TRUE(storeFileWritable(file("there.ini")));
    EXPECT_FALSE(storeFileWritable(file("no-such-folder/store.ini")));
    writeFile(file("blocker"), "x");
    EXPECT_FALSE(storeFileWritable(file("blocker/store.ini")));
    QDir().mkpath(file("folder.ini"));
    EXPECT_FALSE(storeFileWritable(file("folder.ini")));
}

} // namespace

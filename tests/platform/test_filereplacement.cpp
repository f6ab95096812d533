#include "platform/filereplacement.h"
#include "platform/folders.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

constexpr uid_t kOtherUser = 4242;
constexpr uid_t kFolderOwner = 4343;

class FileReplacementTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray native(const QString& name) const { return QFile::encodeName(path(name)); }
    // A folder everyone may write, with the sticky bit, as /tmp is.
    void makeSharedFolder(const QString& name, uid_t owner) {
        ASSERT_TRUE(QDir().mkpath(path(name)));
        ASSERT_EQ(::chmod(native(name).constData(), 01777), 0);
        ASSERT_EQ(::chown(native(name).constData(), owner, owner), 0);
    }
    void plantLink(const QString& target, const QString& name, uid_t owner) {
        ASSERT_TRUE(QFile::link(target, path(name)));
        ASSERT_EQ(::lchown(native(name).constData(), owner, owner), 0);
    }
    static bool replace(const QString& file, QString* why = nullptr) {
        FileReplacement replacement(file);
        const bool done = replacement.begin() && replacement.commit("new\r\n");
        if (why)
            *why = replacement.why();
        return done;
    }
    QStringList entriesOf(const QString& folder) const {
        return QDir(path(folder))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

// Catches a link another user planted in a shared sticky folder being followed (directly or
// further down a chain of our own links), so that the playlist lands in a file of ours the
// planter could not reach (a login script, say); and the rule refusing the links the kernel
// itself follows: ours or the folder owner's there, anyone's in a folder that is not sticky.
TEST_F(FileReplacementTest, LinksAreFollowedOnlyWhereTheKernelWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make links and folders that belong to other users";
    makeSharedFolder("shared", kFolderOwner);
    ASSERT_TRUE(QDir().mkpath(path("open")));
    ASSERT_EQ(::chmod(native("open").constData(), 0777), 0);
    const struct {
        const char* link;
        uid_t owner;
        bool followed;
    } cases[] = {{"shared/party.M3U", kOtherUser, false},
                 {"shared/own.M3U", ::geteuid(), true},
                 {"shared/owners.M3U", kFolderOwner, true},
                 {"open/other.M3U", kOtherUser, true}};
    for (const auto& one : cases) {
        const QString target = path(QString(one.link).replace('/', '-'));
        writeFile(target, "old\n");
        plantLink(target, one.link, one.owner);
        QString why;
        EXPECT_EQ(replace(path(one.link), &why), one.followed) << one.link;
        EXPECT_EQ(readFile(target), one.followed ? "new\r\n" : "old\n") << one.link;
        EXPECT_EQ(why.contains("another user"), !one.followed) << why.toStdString();
    }
    EXPECT_EQ(entriesOf("shared").size(), 3);
    ASSERT_TRUE(QFile::link(path("shared/party.M3U"), path("mine.M3U")));
    EXPECT_FALSE(replace(path("mine.M3U")));
    EXPECT_EQ(readFile(path("shared-party.M3U")), "old\n");
}

// A playlist that belongs to another user, who may write it but not its folder.
class InPlaceTest : public FileReplacementTest {
protected:
    void SetUp() override {
        FileReplacementTest::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can act as a second user";
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        ASSERT_TRUE(QDir().mkpath(path("d")));
        ASSERT_EQ(::chmod(native("d").constData(), 0755), 0);
        writeFile(path("d/pl.M3U"), "OLD\r\n");
        ASSERT_EQ(::chown(native("d/pl.M3U").constData(), kOtherUser, kOtherUser), 0);
        ASSERT_TRUE(QDir().mkpath(path("temp")));
        ASSERT_EQ(::chown(native("temp").constData(), kOtherUser, kOtherUser), 0);
        ASSERT_EQ(::chmod(native("temp").constData(), 0700), 0);
    }
    // Runs body as the other user in a child process; its wait status.
    int asOtherUser(const std::function<int()>& body) const {
        const pid_t child = ::fork();
        if (child == 0) {
            qputenv("TEMP", QFile::encodeName(path("temp")));
            if (::setgroups(0, nullptr) != 0 || ::setresgid(kOtherUser, kOtherUser, kOtherUser) ||
                ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)
                ::_exit(9);
            ::_exit(body());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }
    QString playlist() const { return path("d/pl.M3U"); }
};

// Catches the request failing with "Permission denied" where the file may be written but its
// folder may not: it is written in place, keeps its owner, and nothing is left behind.
TEST_F(InPlaceTest, FileInAFolderWeMayNotWriteIsWrittenInPlace) {
    const int status = asOtherUser([&] {
        FileReplacement replacement(playlist());
        return replacement.begin() && replacement.commit("/new/song.mp3\r\n") ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(playlist()), "/new/song.mp3\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(native("d/pl.M3U").constData(), &info), 0);
    EXPECT_EQ(info.st_uid, kOtherUser);
    EXPECT_EQ(entriesOf("d"), QStringList{"pl.M3U"});
    EXPECT_EQ(entriesOf("temp"), QStringList());
}

// Catches an in-place write that loses the old content: a write that fails (a full disk), a
// program ended by SIGTERM, and one killed outright (the next run puts the content back).
TEST_F(InPlaceTest, OldContentComesBackWhenTheWriteDoesNotEnd) {
    const QByteArray longer(1024, 'x'); // past the limit below, which the record stays within
    int status = asOtherUser([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256, 256};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        FileReplacement replacement(playlist());
        return replacement.begin() && !replacement.commit(longer) ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(playlist()), "OLD\r\n");
    EXPECT_EQ(entriesOf("temp"), QStringList());

    for (int signal : {SIGTERM, SIGKILL}) {
        status = asOtherUser([&] {
            FileReplacement replacement(playlist());
            if (!replacement.begin() || !replacement.write("/half"))
                return 1;
            ::raise(signal);
            return 2;
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        if (signal == SIGKILL) {
            EXPECT_EQ(readFile(playlist()), "/half");
            EXPECT_EQ(asOtherUser([&] {
                          removeRunFolder(newRunFolder(path("temp") + "/"));
                          return 0;
                      }),
                      0);
        }
        EXPECT_EQ(readFile(playlist()), "OLD\r\n") << signal;
        EXPECT_EQ(entriesOf("temp"), QStringList()) << signal;
    }
}

} // namespace

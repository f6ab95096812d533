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
    static bool replace(const QString& file, const QByteArray& bytes, QString* why = nullptr) {
        FileReplacement replacement(file);
        const bool done = replacement.begin() && replacement.commit(bytes);
        if (why)
            *why = replacement.why();
        return done;
    }

    QTemporaryDir m_dir;
};

// Catches a link another user planted in a shared sticky folder being followed, so that the
// playlist lands in a file of ours the planter could not reach (a login script, say).
TEST_F(FileReplacementTest, LinkPlantedByAnotherUserInASharedFolderIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a link that belongs to another user";
    writeFile(path("victim"), "keep\n");
    makeSharedFolder("shared", 0);
    plantLink(path("victim"), "shared/party.M3U", kOtherUser);

    QString why;
    EXPECT_FALSE(replace(path("shared/party.M3U"), "/song.mp3\r\n", &why));
    EXPECT_TRUE(why.contains("another user")) << why.toStdString();
    EXPECT_EQ(readFile(path("victim")), "keep\n");
    EXPECT_EQ(QDir(path("shared"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"party.M3U"});

    // A planted link further down a chain of our own links is refused too.
    ASSERT_TRUE(QFile::link(path("shared/party.M3U"), path("mine.M3U")));
    EXPECT_FALSE(replace(path("mine.M3U"), "/song.mp3\r\n"));
    EXPECT_EQ(readFile(path("victim")), "keep\n");
}

// Catches the rule refusing links the kernel itself follows: our own link in a shared folder,
// the folder owner's link there, and any link in a folder that is not sticky.
TEST_F(FileReplacementTest, LinksTheKernelFollowsAreFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make links and folders that belong to other users";
    makeSharedFolder("shared", kFolderOwner);
    writeFile(path("own.m3u"), "old\n");
    plantLink(path("own.m3u"), "shared/own.M3U", ::geteuid());
    writeFile(path("owners.m3u"), "old\n");
    plantLink(path("owners.m3u"), "shared/owners.M3U", kFolderOwner);
    ASSERT_TRUE(QDir().mkpath(path("open")));
    ASSERT_EQ(::chmod(native("open").constData(), 0777), 0);
    writeFile(path("open.m3u"), "old\n");
    plantLink(path("open.m3u"), "open/other.M3U", kOtherUser);

    for (const char* link : {"shared/own.M3U", "shared/owners.M3U", "open/other.M3U"}) {
        QString why;
        EXPECT_TRUE(replace(path(link), "new\r\n", &why)) << link << ": " << why.toStdString();
    }
    EXPECT_EQ(readFile(path("own.m3u")), "new\r\n");
    EXPECT_EQ(readFile(path("owners.m3u")), "new\r\n");
    EXPECT_EQ(readFile(path("open.m3u")), "new\r\n");
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
    QStringList entriesOf(const QString& folder) const {
        return QDir(path(folder))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
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

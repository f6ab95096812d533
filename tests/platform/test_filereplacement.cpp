#include "platform/filereplacement.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
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

} // namespace

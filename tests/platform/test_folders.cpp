#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace mixgen;

namespace {

// Keeps the variables the work folder reads, and gives them back after each test.
class WorkFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_temp = qgetenv("TEMP");
        m_runtime = qgetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override {
        qputenv("TEMP", m_temp);
        qputenv("XDG_RUNTIME_DIR", m_runtime);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;

private:
    QByteArray m_temp;
    QByteArray m_runtime;
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

} // namespace

// Catches a doubled or missing separator where folder and file name are joined.
TEST(Folders, TrailingSlashIsAddedOnce) {
    EXPECT_EQ(withTrailingSlash("/music"), "/music/");
    EXPECT_EQ(withTrailingSlash("/music/"), "/music/");
    EXPECT_EQ(withTrailingSlash("/"), "/");
    EXPECT_EQ(withTrailingSlash("relative dir"), "relative dir/");
}

// Catches a program folder taken from the current folder or left without its slash.
TEST(Folders, ProgramFolderIsTheExecutablesFolder) {
    const QString expected =
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath() + QLatin1Char('/');
    EXPECT_EQ(programFolder(), expected);
    EXPECT_TRUE(QFileInfo::exists(programFolder() +
                                  QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
}

// Catches TEMP being ignored, or its trailing slash doubled.
TEST_F(WorkFolderTest, TempWinsWhenSet) {
    qputenv("TEMP", QFile::encodeName(m_dir.path()));
    EXPECT_EQ(workFolder(), m_dir.path() + "/");
    qputenv("TEMP", QFile::encodeName(m_dir.path() + "/"));
    EXPECT_EQ(workFolder(), m_dir.path() + "/");
}

// Catches a TEMP naming no folder being used anyway (the batch file would go nowhere).
TEST_F(WorkFolderTest, TempNamingNoFolderIsRefused) {
    QString why;
    qputenv("TEMP", QFile::encodeName(path("missing")));
    EXPECT_EQ(workFolder(&why), QString());
    EXPECT_TRUE(why.contains(path("missing"))) << why.toStdString();

    QFile file(path("plain-file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    why.clear();
    qputenv("TEMP", QFile::encodeName(path("plain-file")));
    EXPECT_EQ(workFolder(&why), QString());
    EXPECT_FALSE(why.isEmpty());
}

// Catches an empty TEMP being taken as a folder instead of falling back to the runtime folder.
TEST_F(WorkFolderTest, EmptyTempFallsBackToRuntimeFolder) {
    ASSERT_TRUE(QDir().mkdir(path("runtime")));
    qputenv("TEMP", "");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("runtime")));
    EXPECT_EQ(workFolder(), path("runtime") + "/");
    qunsetenv("TEMP");
    EXPECT_EQ(workFolder(), path("runtime") + "/");
}

// Catches a missing runtime folder being used instead of the private /tmp folder.
TEST_F(WorkFolderTest, WithoutTempOrRuntimeFolderUsesPrivateTmpFolder) {
    qunsetenv("TEMP");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("gone")));
    QString why;
    const QString expected = QStringLiteral("/tmp/mixgen-%1/").arg(::geteuid());
    EXPECT_EQ(workFolder(&why), expected) << why.toStdString();
    EXPECT_EQ(modeOf(expected), 0700u);
}

// Catches a private folder created with the umask's looser mode.
TEST_F(WorkFolderTest, PrivateFolderIsCreatedClosedToOthers) {
    const mode_t previous = ::umask(0);
    const QString created = privateFolder(path("fresh"));
    ::umask(previous);
    EXPECT_EQ(created, path("fresh") + "/");
    EXPECT_EQ(modeOf(path("fresh")), 0700u);
}

// Catches an existing folder of ours that others can read or write being left open.
TEST_F(WorkFolderTest, OwnOpenFolderIsTightened) {
    ASSERT_TRUE(QDir().mkdir(path("open")));
    ASSERT_EQ(::chmod(QFile::encodeName(path("open")).constData(), 0777), 0);
    EXPECT_EQ(privateFolder(path("open")), path("open") + "/");
    EXPECT_EQ(modeOf(path("open")), 0700u);
}

// Catches a planted link or file being accepted (another user could read or swap our files).
TEST_F(WorkFolderTest, LinkOrFileIsRefused) {
    ASSERT_TRUE(QDir().mkdir(path("target")));
    ASSERT_EQ(::chmod(QFile::encodeName(path("target")).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(path("target"), path("link")));
    QString why;
    EXPECT_EQ(privateFolder(path("link"), &why), QString());
    EXPECT_TRUE(why.contains(path("link"))) << why.toStdString();
    EXPECT_EQ(modeOf(path("target")), 0755u) << "the link's target must not be touched";

    QFile file(path("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    why.clear();
    EXPECT_EQ(privateFolder(path("file"), &why), QString());
    EXPECT_FALSE(why.isEmpty());

    why.clear();
    EXPECT_EQ(privateFolder(path("no-parent/child"), &why), QString());
    EXPECT_FALSE(why.isEmpty());
}

// Catches a folder owned by another user being used (it could plant the batch file).
TEST_F(WorkFolderTest, FolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    ASSERT_TRUE(QDir().mkdir(path("theirs")));
    ASSERT_EQ(::chown(QFile::encodeName(path("theirs")).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("theirs")).constData(), 0777), 0);
    QString why;
    EXPECT_EQ(privateFolder(path("theirs"), &why), QString());
    EXPECT_TRUE(why.contains("another user")) << why.toStdString();
    EXPECT_EQ(modeOf(path("theirs")), 0777u) << "a refused folder must not be changed";

    // A runtime folder that is not ours is passed over in favour of the private /tmp folder.
    qunsetenv("TEMP");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("theirs")));
    EXPECT_EQ(workFolder(), QStringLiteral("/tmp/mixgen-%1/").arg(::geteuid()));
}

// Catches the runtime folder lent to Qt (inside the work folder) being taken for the work
// folder afterwards: the loader's marker and the search would then move into it, apart from
// instances that lent nothing.
TEST_F(WorkFolderTest, LentRuntimeFolderLeavesTheWorkFolderAsItWas) {
    qputenv("TEMP", "");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString before = workFolder();
    ASSERT_FALSE(before.isEmpty());
    lendRuntimeFolder();
    const QString lent = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    EXPECT_TRUE(lent.startsWith(before + "mixgen-runtime-")) << lent.toStdString();
    EXPECT_EQ(workFolder(), before);
}

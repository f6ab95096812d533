// The pickers' drives: which volume a path lies on, and which volumes can be shown.
#include "platform/volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mixgen;

namespace {

// A plain prefix test would put /media/usb2 on /media/usb; a relative path must find no drive.
TEST(Volumes, PathLiesOnTheLongestRootThatHoldsItWholeNames) {
    const QStringList volumes = {QStringLiteral("/"), QStringLiteral("/media/usb"),
                                 QStringLiteral("/media/usb/inner")};
    EXPECT_EQ(volumeOf("/media/usb/Music", volumes), "/media/usb");
    EXPECT_EQ(volumeOf("/media/usb", volumes), "/media/usb");
    EXPECT_EQ(volumeOf("/media/usb/inner/x", volumes), "/media/usb/inner");
    EXPECT_EQ(volumeOf("/media/usb2/Music", volumes), "/");
    EXPECT_EQ(volumeOf("/media/usb/../usb2", volumes), "/");
    EXPECT_EQ(volumeOf("/", volumes), "/");
    EXPECT_EQ(volumeOf("Music", volumes), "");
    EXPECT_EQ(volumeOf("", volumes), "");
    EXPECT_EQ(volumeOf("/x", {QStringLiteral("/media/usb")}), "");
}

// The system's own mounts must not be offered as drives, and the root always is.
TEST(Volumes, ListStartsWithTheRootAndLeavesOutSystemMounts) {
    const QStringList volumes = mountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first(), "/");
    EXPECT_EQ(volumes.count(QStringLiteral("/")), 1);
    for (const QString& root : volumes) {
        EXPECT_FALSE(root.startsWith("/proc") || root.startsWith("/sys") || root.startsWith("/dev"))
            << root.toStdString();
        EXPECT_TRUE(volumeIsReady(root)) << root.toStdString();
    }
}

// A volume taken away (its root gone, or no folder any more) is not ready.
TEST(Volumes, RootThatWentAwayIsNotReady) {
    QTemporaryDir dir;
    const QString root = dir.filePath("stick");
    ASSERT_TRUE(QDir().mkpath(root));
    EXPECT_TRUE(volumeIsReady(root));
    ASSERT_TRUE(QDir(root).removeRecursively());
    EXPECT_FALSE(volumeIsReady(root));
    QFile file(root);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(volumeIsReady(root));
}

} // namespace

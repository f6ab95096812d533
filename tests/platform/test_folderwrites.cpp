// The watch that wakes the song list's reader when the interpreter writes to the list.
#include "platform/folderwrites.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>

using namespace mixgen;

namespace {

bool readable(int fd) {
    pollfd watch{fd, POLLIN, 0};
    return ::poll(&watch, 1, 0) == 1;
}

// Catches a watch that stays quiet on a write (the reader would only look every 50 ms), or
// that stays readable once drained (the wait would spin).
TEST(FolderWrites, WakesOnEachWriteUntilDrained) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile list(dir.filePath(QStringLiteral("mixgen.lst")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    FolderWrites writes(dir.path());
    ASSERT_GE(writes.fd(), 0);
    EXPECT_FALSE(readable(writes.fd()));

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(list.write("/music/a.mp3\r\n"), 14);
        EXPECT_TRUE(readable(writes.fd())) << round;
        writes.drain();
        EXPECT_FALSE(readable(writes.fd())) << round;
    }
}

} // namespace

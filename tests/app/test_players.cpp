// The players' own enqueue switches: a Linux player given "/ADD" would take it for a file.
#include "app/players.h"

#include <gtest/gtest.h>

namespace mixgen {
namespace {

TEST(PlayersTest, EnqueueUsesTheKnownPlayersSwitches) {
    const QString list = QStringLiteral("/tmp/a b.M3U");
    EXPECT_EQ(enqueueCommand("/usr/bin/audacious", list),
              (QStringList{"/usr/bin/audacious", "-e", list}));
    EXPECT_EQ(enqueueCommand("/usr/bin/vlc", list),
              (QStringList{"/usr/bin/vlc", "--one-instance", "--playlist-enqueue", list}));
    EXPECT_EQ(enqueueCommand("/opt/smplayer", list),
              (QStringList{"/opt/smplayer", "-add-to-playlist", list}));
    // Matched by the file name alone: a folder of that name does not count.
    EXPECT_EQ(enqueueCommand("/opt/vlc/winamp", list),
              (QStringList{"/opt/vlc/winamp", "/ADD", list}));
    EXPECT_EQ(playCommand("/usr/bin/vlc", list), (QStringList{"/usr/bin/vlc", list}));
}

} // namespace
} // namespace mixgen

// The thread that reads the growing song list on idle cores while nobody watches the count.
#include "platform/idlefollower.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace mixgen;
using namespace std::chrono_literals;

namespace {

// Waits (up to ten seconds) until done() holds.
template <typename Done> bool waitUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    return done();
}

// Catches a follower that misses the first look, the rest of a piecemeal read or a write, whose
// stop() returns while a piece is still being read into what the caller is about to use, or
// that calls again once stop() has returned.
TEST(IdleFollower, FollowsEachWriteAndStopsBetweenPieces) {
    int wake[2];
    ASSERT_EQ(::pipe2(wake, O_NONBLOCK), 0);
    std::atomic<int> calls = 0;
    std::atomic<bool> inPiece = false;
    IdleFollower follower(wake[0], [&] {
        inPiece = true;
        char told[16];
        while (::read(wake[0], told, sizeof told) > 0) {
        }
        const int call = ++calls;
        if (call > 4) // from the second write on, one long read in pieces
            std::this_thread::sleep_for(20ms);
        inPiece = false;
        return call < 3 || call > 4; // the first look comes in three pieces
    });
    ASSERT_TRUE(waitUntil([&] { return calls == 3; }));
    for (int write = 4; write <= 5; ++write) {
        ASSERT_EQ(::write(wake[1], "w", 1), 1);
        ASSERT_TRUE(waitUntil([&] { return calls >= write; })) << write;
    }
    follower.stop();
    EXPECT_FALSE(inPiece);
    const int stoppedAt = calls;
    ASSERT_EQ(::write(wake[1], "w", 1), 1);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls, stoppedAt);
    ::close(wake[0]);
    ::close(wake[1]);
}

} // namespace

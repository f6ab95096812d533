// The list output's blocks reach the file whole and in order, however the system cuts writes.
#include "listoutput.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

using namespace mixgen::cmd;

namespace {

void onAlarm(int) {}

// Catches a block skipped, repeated or cut, or the copied lines between kept blocks put out of
// order. A timer interrupts the writes into a slowly drained pipe, so they end part way.
TEST(ListOutput, KeptBlocksAndCopiedLinesReachThePipeInOrder) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string expected;
    ListOutput output;
    for (char mark : {'a', 'b', 'c', 'd', 'e', 'f'}) {
        std::string block(100'000 + mark, mark);       // big enough to be kept whole
        for (std::size_t i = 0; i < block.size(); ++i) // every part of it told apart
            block[i] = char('0' + (i * 7 + std::size_t(mark)) % 64);
        expected += block;
        output.appendBytes(std::move(block));
        output.append("small/", std::string(1, mark)); // between the blocks, copied
        expected += std::string("small/") + mark + "\r\n";
    }

    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_BLOCK, &alarm, nullptr); // the reader never takes the alarm
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0) {
            received.append(buffer, std::size_t(got));
            ::usleep(50);
        }
    });
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    struct sigaction action {};
    action.sa_handler = onAlarm; // no restart: a write in progress returns what it wrote
    ::sigaction(SIGALRM, &action, nullptr);
    itimerval every{{0, 300}, {0, 300}};
    ::setitimer(ITIMER_REAL, &every, nullptr);

    const bool written = output.writeTo(ends[1]);
    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::close(ends[1]);
    reader.join();
    ::close(ends[0]);
    EXPECT_TRUE(written);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
}

// Catches lines lost, doubled or put out of order where small pieces and single lines fill
// one block and start the next, both for a list kept until the end and for one streamed as it
// grows; and a list written with its memory kept that is written again by a later write.
TEST(ListOutput, ManySmallPiecesCrossBlocksInOrder) {
    for (const bool streamed : {false, true}) {
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        const int fd = ::fileno(file);
        std::string expected;
        ListOutput output;
        if (streamed)
            output.streamTo(fd);
        for (int i = 0; i < 60'000; ++i) {
            std::string piece = "/music/piece " + std::to_string(i) + ".mp3\r\n";
            expected += piece;
            output.appendBytes(std::move(piece));
            if (i % 7 == 0) {
                output.append("/music/line ", std::to_string(i));
                expected += "/music/line " + std::to_string(i) + "\r\n";
            }
        }
        ASSERT_TRUE(output.writeTo(fd, !streamed));
        ASSERT_TRUE(output.writeTo(fd)); // nothing is left to write
        std::string written(expected.size() + 1, '\0');
        ASSERT_EQ(::pread(fd, written.data(), written.size(), 0), ssize_t(expected.size()));
        written.resize(expected.size());
        EXPECT_TRUE(written == expected) << (streamed ? "streamed" : "kept");
        std::fclose(file);
    }
}

} // namespace

namespace {

// Catches a copy of gathered lines that is cut or shifted where one block ends and the next
// begins (the walkers' lists are copied out a piece at a time), and a list handed on whole
// that loses, repeats or reorders its blocks.
TEST(ListOutput, CopiesAnyStretchOfWhatIsGathered) {
    ListOutput gathered;
    std::string all;
    for (int i = 0; i < 80'000; ++i) { // about 1.8 MB: more than one block
        const std::string name = "song " + std::to_string(i) + ".mp3";
        gathered.append("music/", name);
        all += "music/" + name + "\r\n";
    }
    ASSERT_EQ(gathered.size(), all.size());
    const std::size_t blockEnd = std::size_t(1) << 20;
    for (const auto& [from, to] : {std::pair<std::size_t, std::size_t>{0, 10},
                                   {blockEnd - 700, blockEnd - 3},
                                   {blockEnd - 5, blockEnd + 5},
                                   {blockEnd, all.size()},
                                   {0, all.size()}}) {
        ListOutput copy;
        gathered.copyTo(copy, std::min(from, all.size()), std::min(to, all.size()));
        EXPECT_EQ(copy.takeBytes(), all.substr(from, to - from)) << from << ".." << to;
    }

    // A whole walker's list is handed on, its blocks moved, behind what the target holds.
    ListOutput target;
    target.append("first/", "line");
    gathered.moveTo(target);
    EXPECT_EQ(gathered.size(), 0u);
    gathered.append("music/", "next.mp3"); // the emptied list gathers again
    gathered.moveTo(target);
    EXPECT_EQ(target.takeBytes(), "first/line\r\n" + all + "music/next.mp3\r\n");
}

} // namespace

#include "spreadthread.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <sched.h>

namespace mixgen::cmd {
namespace {

cpu_set_t ownCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    ::sched_getaffinity(0, sizeof cores, &cores);
    return cores;
}

// Catches a thread left on the one core it began on (a walker that could never move away
// from a core another program keeps busy), and threads that do not start, or are not waited
// for, where the starter may use one core only.
TEST(SpreadThread, ThreadsMayRunOnEveryCoreTheirStarterMay) {
    const auto startFour = [] {
        std::vector<cpu_set_t> seen(4);
        {
            std::vector<SpreadThread> threads;
            for (unsigned nth = 1; nth <= seen.size(); ++nth)
                threads.emplace_back(nth, [&seen, nth] { seen[nth - 1] = ownCores(); });
        } // joined here
        return seen;
    };
    const cpu_set_t starter = ownCores();
    for (const cpu_set_t& cores : startFour())
        EXPECT_TRUE(CPU_EQUAL(&cores, &starter)) << CPU_COUNT(&cores) << " cores";

    std::thread confined([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(::sched_getcpu(), &one);
        ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
        for (const cpu_set_t& cores : startFour())
            EXPECT_TRUE(CPU_EQUAL(&cores, &one)) << CPU_COUNT(&cores) << " cores";
    });
    confined.join();
}

} // namespace
} // namespace mixgen::cmd

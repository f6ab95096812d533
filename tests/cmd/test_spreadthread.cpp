#include "spreadthread.h"

#include <gtest/gtest.h>

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

// Catches a thread left on the one core it began on: a walker that could never move away from
// a core another program keeps busy.
TEST(SpreadThread, ThreadsMayRunOnEveryCoreTheirStarterMay) {
    std::vector<cpu_set_t> seen(4);
    {
        std::vector<SpreadThread> threads;
        for (unsigned nth = 1; nth <= seen.size(); ++nth)
            threads.emplace_back(nth, [&seen, nth] { seen[nth - 1] = ownCores(); });
    } // joined here
    const cpu_set_t starter = ownCores();
    for (const cpu_set_t& cores : seen)
        EXPECT_TRUE(CPU_EQUAL(&cores, &starter)) << CPU_COUNT(&cores) << " cores";
}

} // namespace
} // namespace mixgen::cmd

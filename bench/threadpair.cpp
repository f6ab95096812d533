// How soon this machine runs two threads at full speed at once: a fixed amount of work (some MS
// ms on one thread) done once by one thread, then by two threads at once, the second started
// anew or woken from a wait, after a pause that lets the second core fall idle, as it does
// before a walk. Where the second thread gets no core of its own at once, or its core comes
// back slowly from being idle, the pair takes longer than the work; every short parallel phase
// of a walk (a huge folder read in parts) pays the same.
//
// Then two threads busy together for 300 ms: the pace of each in 20 ms steps, as a share of
// one thread's alone. A host that gives a woken core less at first shows shares well below 1
// for the first steps; a parallel phase shorter than that never gets two whole cores.
//
// Usage: bench_threadpair   (MS=10 by default; ROUNDS=31); prints the medians in ms.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "roundtimes.h"

namespace {

using bench::Clock;
using bench::median;
using bench::msSince;

// Work the compiler cannot drop, counted in steps rather than by the clock.
void work(long steps) {
    long sum = 0;
    for (long i = 0; i < steps; ++i) {
        sum += i * i;
        asm volatile("" : "+r"(sum));
    }
}

// The pause before each round: the other core falls idle, as before a walk.
void letOtherCoreIdle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// The pace of busy threads is counted in steps of this long.
constexpr auto kStep = std::chrono::milliseconds(20);

} // namespace

int main() {
    const double ms = std::getenv("MS") ? std::atof(std::getenv("MS")) : 10;
    const int rounds = std::getenv("ROUNDS") ? std::atoi(std::getenv("ROUNDS")) : 31;
    long steps;
    {
        const auto start = Clock::now();
        work(20'000'000);
        steps = long(20'000'000 * ms / msSince(start));
    }
    std::vector<double> one, started, woken;
    for (int round = 0; round < rounds; ++round) {
        letOtherCoreIdle();
        auto start = Clock::now();
        work(steps);
        one.push_back(msSince(start));

        letOtherCoreIdle();
        start = Clock::now();
        std::thread second([&] { work(steps); });
        work(steps);
        second.join();
        started.push_back(msSince(start));

        std::atomic<int> go{0};
        std::thread waiting([&] {
            go.wait(0);
            work(steps);
        });
        letOtherCoreIdle();
        start = Clock::now();
        go = 1;
        go.notify_one();
        work(steps);
        waiting.join();
        woken.push_back(msSince(start));
    }
    // The pace of two busy threads over time, beside one thread's alone: steps done in each
    // 20 ms.
    constexpr int kSteps = 15;
    const auto count = [](std::vector<long>& steps, Clock::time_point from) {
        for (std::size_t step = 0; step < steps.size(); ++step)
            while (Clock::now() - from < long(step + 1) * kStep) {
                work(10'000);
                steps[step] += 10'000;
            }
    };
    std::vector<long> alone(kSteps);
    letOtherCoreIdle();
    count(alone, Clock::now());
    const double solo = median(std::vector<double>(alone.begin(), alone.end()));
    std::vector<long> together[2] = {std::vector<long>(kSteps), std::vector<long>(kSteps)};
    letOtherCoreIdle();
    const auto from = Clock::now();
    std::thread paced([&] { count(together[1], from); });
    count(together[0], from);
    paced.join();
    for (int thread = 0; thread < 2; ++thread) {
        std::printf("two busy threads, the %s's pace each 20 ms (1: one thread's alone):",
                    thread == 0 ? "first" : "second");
        for (long steps : together[thread])
            std::printf(" %.2f", double(steps) / solo);
        std::printf("\n");
    }
    std::printf("the work on one thread %.2f ms; on two at once: the second started %.2f ms, "
                "woken %.2f ms (medians of %d rounds, MS=%g)\n",
                median(one), median(started), median(woken), rounds, ms);
    return 0;
}

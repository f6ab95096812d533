// How soon this machine runs two threads at full speed at once: a fixed amount of work (some MS
// ms on one thread) done once by one thread, then by two threads at once, the second started
// anew or woken from a wait, after a pause that lets the second core fall idle, as it does
// before a walk. Where the second thread gets no core of its own at once, or its core comes
// back slowly from being idle, the pair takes longer than the work; every short parallel phase
// of a walk (a huge folder read in parts) pays the same.
//
// Usage: bench_threadpair   (MS=10 by default; ROUNDS=31); prints the medians in ms.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
    std::printf("the work on one thread %.2f ms; on two at once: the second started %.2f ms, "
                "woken %.2f ms (medians of %d rounds, MS=%g)\n",
                median(one), median(started), median(woken), rounds, ms);
    return 0;
}

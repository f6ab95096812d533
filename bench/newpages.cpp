// What new memory costs on this machine, beside which the walk's and the request's own memory
// is judged: MB megabytes of anonymous memory written for the first time a 4 KB page at a
// time (one fault each, as a growing list takes it), the same handed over in one call before
// it is written (MADV_POPULATE_WRITE: no faults, the kernel's own cost of giving pages), and
// the same in 2 MB pages (MADV_HUGEPAGE, where the kernel allows it); then what giving each
// back costs. A virtual machine whose host takes freed pages back pays for every page it
// gives again.
//
// Usage: bench_newpages   (MB=32 by default; ROUNDS=15); prints the medians in ms.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/mman.h>

#include "roundtimes.h"

namespace {

using bench::Clock;
using bench::median;
using bench::msBetween;

enum class Pages { Small, Populated, Huge };

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Once: the time to have the memory written, and the time to give it back.
bool timeOnce(Pages pages, std::size_t bytes, double& took, double& freed) {
    const auto start = Clock::now();
    // Room for a 2 MB boundary inside, so that huge pages can cover all of it.
    const std::size_t mapped = bytes + kHugePage;
    void* block =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return false;
    const auto from = reinterpret_cast<std::uintptr_t>(block);
    auto* aligned = reinterpret_cast<char*>((from + kHugePage - 1) & ~(kHugePage - 1));
    if (pages == Pages::Huge)
        ::madvise(aligned, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    if (pages == Pages::Populated)
        ::madvise(aligned, bytes, MADV_POPULATE_WRITE);
#endif
    for (std::size_t at = 0; at < bytes; at += 4096)
        aligned[at] = 1;
    const auto written = Clock::now();
    ::munmap(block, mapped);
    const auto end = Clock::now();
    took = msBetween(start, written);
    freed = msBetween(written, end);
    return true;
}

} // namespace

int main() {
    const std::size_t megabytes =
        std::getenv("MB") ? std::strtoul(std::getenv("MB"), nullptr, 10) : 32;
    const int rounds = std::max(std::getenv("ROUNDS") ? std::atoi(std::getenv("ROUNDS")) : 15, 1);
    const std::size_t bytes = std::max<std::size_t>(megabytes, 1) << 20;
    const struct {
        Pages pages;
        const char* name;
    } kinds[] = {{Pages::Small, "4 KB pages, one fault each"},
                 {Pages::Populated, "4 KB pages, given in one call"},
                 {Pages::Huge, "2 MB pages"}};
    std::printf("%zu MB of new memory, medians of %d rounds (slowest in brackets)\n", bytes >> 20,
                rounds);
    for (const auto& kind : kinds) {
        std::vector<double> took, freed;
        for (int i = 0; i < rounds; ++i) {
            double t, f;
            if (!timeOnce(kind.pages, bytes, t, f)) {
                std::perror("mmap");
                return 1;
            }
            took.push_back(t);
            freed.push_back(f);
        }
        std::printf("%-32s written %7.2f ms (%7.2f)   given back %6.2f ms   %5.2f us a 4 KB page\n",
                    kind.name, median(took), *std::max_element(took.begin(), took.end()),
                    median(freed), median(took) * 1000 / double(bytes / 4096));
    }
    return 0;
}

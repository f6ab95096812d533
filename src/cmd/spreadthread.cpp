#include "spreadthread.h"

#include <memory>
#include <system_error>

#include <sched.h>

namespace mixgen::cmd {

struct SpreadThread::Start {
    std::function<void()> body;
    cpu_set_t allowed; // the starter's cores, given back to the thread once it runs
    bool placed = false;
};

namespace {

// The nth core after `here` among `allowed`, round to `here` itself.
int nthCoreAfter(const cpu_set_t& allowed, int here, unsigned nth) {
    unsigned skip = 1 + (nth - 1) % unsigned(CPU_COUNT(&allowed));
    int cpu = here;
    while (skip > 0) {
        cpu = (cpu + 1) % CPU_SETSIZE;
        if (CPU_ISSET(cpu, &allowed))
            --skip;
    }
    return cpu;
}

void* runStart(void* argument) {
    const std::unique_ptr<SpreadThread::Start> start(static_cast<SpreadThread::Start*>(argument));
    if (start->placed)
        ::sched_setaffinity(0, sizeof start->allowed, &start->allowed);
    start->body();
    return nullptr;
}

} // namespace

SpreadThread::SpreadThread(unsigned nth, std::function<void()> body) {
    auto start = std::make_unique<Start>();
    start->body = std::move(body);
    pthread_attr_t attr;
    ::pthread_attr_init(&attr);
    const int here = ::sched_getcpu();
    if (nth > 0 && here >= 0 &&
        ::sched_getaffinity(0, sizeof start->allowed, &start->allowed) == 0 &&
        CPU_ISSET(here, &start->allowed) && CPU_COUNT(&start->allowed) > 1) {
        cpu_set_t first;
        CPU_ZERO(&first);
        CPU_SET(nthCoreAfter(start->allowed, here, nth), &first);
        start->placed = ::pthread_attr_setaffinity_np(&attr, sizeof first, &first) == 0;
    }
    int error = ::pthread_create(&m_thread, &attr, runStart, start.get());
    ::pthread_attr_destroy(&attr);
    if (error != 0 && start->placed) { // that core went offline, say: started anywhere
        start->placed = false;
        error = ::pthread_create(&m_thread, nullptr, runStart, start.get());
    }
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "no thread to be had");
    start.release(); // the thread owns it now
    m_joinable = true;
}

SpreadThread::SpreadThread(SpreadThread&& other) noexcept
    : m_thread(other.m_thread), m_joinable(other.m_joinable) {
    other.m_joinable = false;
}

SpreadThread::~SpreadThread() {
    join();
}

void SpreadThread::join() {
    if (m_joinable)
        ::pthread_join(m_thread, nullptr);
    m_joinable = false;
}

} // namespace mixgen::cmd

#include "platform/idlefollower.h"

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace mixgen {

namespace {

constexpr int kLookEveryMs = 50;

} // namespace

// What the thread and its owner share; the thread keeps it alive until it has ended.
struct IdleFollower::Shared {
    ~Shared() {
        if (stopFd >= 0)
            ::close(stopFd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    std::mutex mutex; // held while follow runs
    bool stopped = false;
    int stopFd = -1; // becomes readable on stop()
    int wakeFd = -1; // the thread's own copy: the owner may close its descriptor meanwhile
    std::function<bool()> follow;
};

void IdleFollower::followUntilStopped(const std::shared_ptr<Shared>& shared) {
    // Only cores nothing else wants. Leaving that class again takes a privilege the program
    // lacks, so it is set for this thread alone, which ends with the following.
    const sched_param none{};
    ::sched_setscheduler(0, SCHED_IDLE, &none);
    pollfd watch[2] = {{shared->stopFd, POLLIN, 0}, {shared->wakeFd, POLLIN, 0}};
    for (bool more = true;;) {
        if (!more &&
            ::poll(watch, 2, shared->wakeFd >= 0 ? -1 : kLookEveryMs) < 0 && errno != EINTR)
            return;
        // The lock is let go between pieces, so that stop() waits for one piece at most.
        const std::lock_guard lock(shared->mutex);
        if (shared->stopped)
            return;
        more = shared->follow();
    }
}

IdleFollower::IdleFollower(int wakeFd, std::function<bool()> follow)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->follow = std::move(follow);
    m_shared->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_shared->stopFd < 0)
        throw std::system_error(errno, std::generic_category());
    if (wakeFd >= 0) {
        m_shared->wakeFd = ::fcntl(wakeFd, F_DUPFD_CLOEXEC, 0);
        if (m_shared->wakeFd < 0)
            throw std::system_error(errno, std::generic_category());
    }
    std::thread(followUntilStopped, m_shared).detach();
}

void IdleFollower::stop() {
    if (!m_shared)
        return;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stopped = true;
        m_shared->follow = nullptr; // what it refers to may go once stop() returns
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t told = ::write(m_shared->stopFd, &one, sizeof one);
    m_shared.reset();
}

} // namespace mixgen

#pragma once

#include <functional>
#include <memory>

namespace mixgen {

// Follows a growing file on a thread of its own that runs only on cores nothing else wants,
// so that the work never takes a core from the program's other threads or from other
// programs (the walk that writes the file, say). It calls follow once at the start, then
// after each write that wakeFd tells of by becoming readable (follow is to read that out), or
// about every 50 ms when wakeFd is -1. follow does a small piece of work at a time and returns
// true while more is waiting: it is called again at once.
class IdleFollower {
public:
    // Throws std::system_error when no thread can be had.
    IdleFollower(int wakeFd, std::function<bool()> follow);
    ~IdleFollower() { stop(); }
    IdleFollower(const IdleFollower&) = delete;
    IdleFollower& operator=(const IdleFollower&) = delete;

    // After this, follow is never called again; a call under way (one small piece) is waited
    // for. The thread is not: starved of cores it may take long to notice, and it ends by
    // itself, touching nothing of the caller's.
    void stop();

private:
    struct Shared;
    static void followUntilStopped(const std::shared_ptr<Shared>& shared);
    std::shared_ptr<Shared> m_shared;
};

} // namespace mixgen

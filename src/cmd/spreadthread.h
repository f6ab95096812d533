#pragma once

#include <functional>

#include <pthread.h>

namespace mixgen::cmd {

// A thread that begins on a core of its own, then may run on any core its starter may.
// Some kernels keep a new thread on its starter's core until their balancing moves it,
// milliseconds later, and a short parallel phase (a huge folder read in parts) would spend
// them on one core.
class SpreadThread {
public:
    // The nth of the threads a thread starts together begins on the nth core after its
    // starter's, counting the cores the starter may use and round to its own (0: anywhere).
    // Throws std::system_error when the system has no thread to give.
    SpreadThread(unsigned nth, std::function<void()> body);
    SpreadThread(SpreadThread&& other) noexcept;
    SpreadThread& operator=(SpreadThread&&) = delete;
    ~SpreadThread(); // joins

    void join();

    struct Start; // what the new thread begins with (named here for its start routine)

private:
    pthread_t m_thread{};
    bool m_joinable = false;
};

} // namespace mixgen::cmd

#pragma once

#include <gtest/gtest.h>

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

// Helpers for tests that need other processes: forked children that write at the same time,
// and a child without root's right to ignore file modes (these tests often run as root).
namespace mixgen::test {

// Starts body in a forked child that exits with body's result.
inline pid_t startChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    return pid;
}

// The exit code of a child, or -1 when it did not end normally.
inline int waitForChild(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs body in a child as an ordinary user ("nobody" when this process is root), so that
// read-only files really are read-only to it. Its exit code, or -1.
inline int runUnprivileged(const std::function<int()>& body) {
    return waitForChild(startChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 99;
        return body();
    }));
}

} // namespace mixgen::test

#include "app/programexit.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;

namespace {

struct ChildEnd {
    bool exited = false;
    int status = -1;
    QByteArray written; // what the child wrote to its pipe
};

void writeTo(int fd, const char* text) {
    (void)!::write(fd, text, std::strlen(text));
}

// Runs body in a forked child whose standard output is the pipe too; the child ends with
// status 99 if body ever returns.
template <typename Body> ChildEnd runInChild(Body body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::dup2(fds[1], STDOUT_FILENO);
        body(fds[1]);
        writeTo(fds[1], "returned");
        ::_exit(99);
    }
    ::close(fds[1]);
    ChildEnd end;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        end.written.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    end.exited = WIFEXITED(status);
    end.status = end.exited ? WEXITSTATUS(status) : -1;
    return end;
}

const char* const kNames[] = {"Help", "Folder", "Options", "Splash", "File", "Playlist", "Main"};

} // namespace

// The tag comes first, then every window in the fixed order, whatever order they registered
// in; the process ends with the run's status and nothing after the call runs.
TEST(ProgramExit, UnloadsInFixedOrderAndEndsWithTheStatus) {
    const ChildEnd end = runInChild([](int fd) {
        for (int slot = int(WindowSlot::Count) - 1; slot >= 0; --slot)
            registerWindowUnload(WindowSlot(slot), [fd, slot] {
                writeTo(fd, kNames[slot]);
                writeTo(fd, ",");
            });
        registerExitTagSetter([fd] { writeTo(fd, "tag,"); });
        setExitStatus(3);
        ExitProgram();
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.status, 3);
    EXPECT_EQ(end.written.toStdString(), "tag,Help,Folder,Options,Splash,File,Playlist,Main,");
}

// With nothing registered and no status set, the program ends with 0.
TEST(ProgramExit, NothingRegisteredEndsWithZero) {
    const ChildEnd end = runInChild([](int fd) {
        if (exitStatus() != 0)
            writeTo(fd, "status was not 0 at start");
        ExitProgram();
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.status, 0);
    EXPECT_TRUE(end.written.isEmpty());
}

// Windows never created are skipped; the last status set counts.
TEST(ProgramExit, OnlyRegisteredWindowsUnload) {
    const ChildEnd end = runInChild([](int fd) {
        registerWindowUnload(WindowSlot::Main, [fd] { writeTo(fd, "Main,"); });
        registerWindowUnload(WindowSlot::Help, [fd] { writeTo(fd, "Help,"); });
        setExitStatus(1);
        setExitStatus(0);
        if (exitStatus() != 0)
            writeTo(fd, "status not kept,");
        ExitProgram();
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.written.toStdString(), "Help,Main,");
}

// A window whose unload itself ends the program (the playlist window of a command-line run)
// must not unload anything twice nor skip the windows after it.
TEST(ProgramExit, ExitFromInsideAnUnloadCarriesOn) {
    const ChildEnd end = runInChild([](int fd) {
        for (int slot = 0; slot < int(WindowSlot::Count); ++slot)
            registerWindowUnload(WindowSlot(slot), [fd, slot] {
                writeTo(fd, kNames[slot]);
                writeTo(fd, ",");
                if (WindowSlot(slot) == WindowSlot::Playlist) {
                    ExitProgram();
                }
            });
        registerExitTagSetter([fd] { writeTo(fd, "tag,"); });
        setExitStatus(5);
        ExitProgram();
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.status, 5);
    EXPECT_EQ(end.written.toStdString(), "tag,Help,Folder,Options,Splash,File,Playlist,Main,");
}

// Text a run printed but did not flush yet still reaches standard output.
TEST(ProgramExit, FlushesStandardOutput) {
    const ChildEnd end = runInChild([](int) {
        std::printf("written without a line end");
        ExitProgram();
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.written.toStdString(), "written without a line end");
}

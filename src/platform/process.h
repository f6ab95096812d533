#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace mixgen {

// What became of an attempt to start a program. Programs are always started from an
// argument vector, never through a shell, so blanks, quotes, ";" and "$(...)" are harmless.
struct StartResult {
    bool started = false;
    int exitCode = -1; // for RunAndWait: the program's exit status once it has ended
                       // (128 plus the signal number when a signal ended it)
    QString error;     // why it could not be started ("No such file or directory", ...)
};

// Where a waited-for program's standard output and standard error go.
struct OutputRedirection {
    bool discardOutput = false; // standard output to /dev/null
    QString errorFile;          // when set, standard error goes into this file, made new
                                // (an existing file or link there fails the start)
};

// How often a waiting caller's whileWaiting is called, unless it asks otherwise.
constexpr int kWaitStepMs = 50;

// A program started by startWaited and not yet waited for. Nobody waiting for it, it is
// stopped (killed and reaped) when the last handle goes.
class WaitedProgram {
public:
    WaitedProgram() = default;
    WaitedProgram(WaitedProgram&& other) noexcept;
    WaitedProgram& operator=(WaitedProgram&& other) noexcept;
    WaitedProgram(const WaitedProgram&) = delete;
    WaitedProgram& operator=(const WaitedProgram&) = delete;
    ~WaitedProgram();

    // Whether it started, and why not.
    const StartResult& start() const { return m_start; }
    // Waits for its end as RunAndWait does, and tells it.
    StartResult waitFor(const std::function<void()>& whileWaiting = {}, int stepMs = kWaitStepMs);
    // Ends it at once.
    void stop();

private:
    friend WaitedProgram startWaited(const QStringList& argv, const OutputRedirection& redirection);
    StartResult m_start;
    int m_pid = -1;
};

// Starts a program as RunAndWait does, without waiting for it.
WaitedProgram startWaited(const QStringList& argv, const OutputRedirection& redirection = {});

// Starts argv[0] with the rest as arguments and returns when it has ended. A first entry
// naming a ".bat" file (any case) is run by the batch interpreter "mixgen-cmd" that lies
// beside the program, as the desktop hands batch files to its command interpreter.
// whileWaiting, when given, is called about every kWaitStepMs until the program ends, so that
// a window can repaint and show progress.
StartResult RunAndWait(const QStringList& argv, const std::function<void()>& whileWaiting = {},
                       const OutputRedirection& redirection = {});

// Starts argv[0] with the rest as arguments and does not wait. A program that cannot be
// found or started is reported in the result; a started one is never left as a zombie.
// It runs in a session of its own, so it outlives the program and its terminal.
StartResult startDetached(const QStringList& argv);

// A write past the file-size limit (ulimit -f) then fails with an error that the program
// reports, instead of ending the program by a signal. Programs started later get the
// signal's default back.
void ignoreFileSizeSignal();

// The argument vector that RunAndWait really starts: a first entry ending in ".bat" (any
// case) becomes programFolder() + "mixgen-cmd" followed by the batch path and the rest;
// any other vector is returned as it is.
QStringList commandForBatch(const QStringList& argv);

} // namespace mixgen

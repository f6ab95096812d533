#include "platform/process.h"

#include "platform/folders.h"
#include "platform/leftovers.h"
#include "platform/nameencoding.h"
#include "platform/systemerror.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mixgen {

namespace {

// The batch interpreter installed beside the program.
constexpr char kBatchInterpreter[] = "mixgen-cmd";
// Room kept on the disk for what a waited-for program says on standard error, so that a disk
// it fills still lets it say why it failed: this much, or less on a disk nearly full already.
constexpr off_t kMostErrorRoom = 64 * 1024;
constexpr off_t kLeastErrorRoom = 4 * 1024;

// An argument vector in the form exec wants, built before any fork so that the child only
// touches memory that is already there.
class NativeArgv {
public:
    explicit NativeArgv(const QStringList& argv) {
        m_bytes.reserve(argv.size());
        for (const QString& argument : argv)
            m_bytes.push_back(encodeFileName(argument));
        for (QByteArray& bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    const char* program() const { return m_pointers.front(); }
    char* const* data() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// Signals that the program may have ignored or blocked; a started program gets them back.
constexpr int kResetSignals[] = {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGXFSZ};

StartResult notStarted(const QString& error) {
    StartResult result;
    result.error = error;
    return result;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// 1 when the child has ended (status filled), 0 while it runs, -1 when it cannot be waited for.
int reap(pid_t pid, int* status, int options) {
    for (;;) {
        const pid_t done = ::waitpid(pid, status, options);
        if (done == pid)
            return 1;
        if (done == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// The same for a child that a signal's clean-up may have to end: its end is seen first
// without reaping it, and it is reaped only once the clean-up has forgotten it, so that the
// clean-up never signals a pid that was given to another process meanwhile.
int reapTracked(pid_t pid, int* status, int options) {
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT | options) == 0) {
            if (info.si_pid == 0)
                return 0;
            const EndSignalsHeld held;
            forgetChild(pid);
            return reap(pid, status, 0);
        }
        if (errno != EINTR)
            return -1;
    }
}

// Sleeps up to stepMs, waking early when the child ends (when the kernel can tell).
void pauseStep(int pidfd, int stepMs) {
    if (pidfd >= 0) {
        pollfd watch{pidfd, POLLIN, 0};
        ::poll(&watch, 1, stepMs);
        return;
    }
    ::usleep(useconds_t(stepMs) * 1000);
}

int waitForExit(pid_t pid, const std::function<void()>& whileWaiting, int stepMs, int* status) {
    if (!whileWaiting)
        return reapTracked(pid, status, 0);
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int state = reapTracked(pid, status, WNOHANG);
    while (state == 0) {
        pauseStep(pidfd, stepMs);
        state = reapTracked(pid, status, WNOHANG);
        if (state == 0)
            whileWaiting();
    }
    if (pidfd >= 0) {
        const int waitError = errno;
        ::close(pidfd);
        errno = waitError;
    }
    return state;
}

// Where exec should look for the program, in order: the name itself when it holds a "/",
// else each folder of PATH, as a shell would search it.
std::vector<QByteArray> executableCandidates(const QString& program) {
    const QByteArray name = QFile::encodeName(program);
    if (name.contains('/'))
        return {name};
    QByteArray path = qgetenv("PATH");
    if (path.isNull())
        path = "/usr/local/bin:/usr/bin:/bin";
    std::vector<QByteArray> candidates;
    for (const QByteArray& folder : path.split(':'))
        candidates.push_back((folder.isEmpty() ? QByteArray(".") : folder) + '/' + name);
    return candidates;
}

// Runs in the forked grandchild: only async-signal-safe calls from here on.
[[noreturn]] void execOrReport(const std::vector<const char*>& candidates, char* const* argv,
                               int reportFd) {
    // Handlers first: a signal let through before them would run the program's clean-up here.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal : kResetSignals)
        ::sigaction(signal, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    int error = 0;
    for (const char* candidate : candidates) {
        ::execv(candidate, argv);
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR) {
            if (error != EACCES)
                error = failure;
            continue;
        }
        error = failure;
        if (failure != EACCES)
            break;
    }
    (void)!::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// The pieces of a waited-for start, made before the fork.
struct WaitedStart {
    std::vector<const char*> candidates;
    char* const* argv = nullptr;
    bool discardOutput = false;
    const char* errorFile = nullptr; // null: standard error stays
    pid_t parent = 0;
};

// Runs in the child, in the memory it borrows from the parent until the exec: only
// async-signal-safe calls, and nothing written that the parent reads, errno aside. The child
// ends with the program that waits for it, so a killed run leaves no interpreter writing on.
[[noreturn]] void execWaited(const WaitedStart& start, int reportFd) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != start.parent) // the parent ended before the line above
        ::_exit(127);
    int error = 0;
    if (start.discardOutput) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0)
            error = errno;
    }
    if (error == 0 && start.errorFile) {
        const int errors =
            ::open(start.errorFile, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (errors < 0 || ::dup2(errors, STDERR_FILENO) < 0)
            error = errno;
        // Where the file system cannot keep room, the file grows as it is written.
        for (off_t room = kMostErrorRoom; error == 0 && room >= kLeastErrorRoom; room /= 4) {
            if (::fallocate(errors, FALLOC_FL_KEEP_SIZE, 0, room) == 0 || errno != ENOSPC)
                break;
        }
        // Room beyond a file-size limit raises SIGXFSZ on some file systems (tmpfs): ignored,
        // but kept pending while signals are blocked, it would end the child once its
        // signals are set back to their defaults. Ignoring it again drops it.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
    if (error != 0) {
        (void)!::write(reportFd, &error, sizeof error);
        ::_exit(127);
    }
    execOrReport(start.candidates, start.argv, reportFd);
}

// Reads what the child reported before its exec: 0 when the program runs.
int startError(int reportFd) {
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(reportFd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

} // namespace

void ignoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

QStringList commandForBatch(const QStringList& argv) {
    if (argv.isEmpty() || !argv.first().endsWith(QLatin1String(".bat"), Qt::CaseInsensitive))
        return argv;
    return QStringList{programFolder() + QLatin1String(kBatchInterpreter)} + argv;
}

WaitedProgram startWaited(const QStringList& argv, const OutputRedirection& redirection) {
    WaitedProgram program;
    if (argv.isEmpty() || argv.first().isEmpty()) {
        program.m_start = notStarted(QStringLiteral("No program was named."));
        return program;
    }
    const NativeArgv native(commandForBatch(argv));
    const std::vector<QByteArray> candidates = executableCandidates(commandForBatch(argv).first());
    const QByteArray errorFile = QFile::encodeName(redirection.errorFile);
    WaitedStart start;
    for (const QByteArray& candidate : candidates)
        start.candidates.push_back(candidate.constData());
    start.argv = native.data();
    start.discardOutput = redirection.discardOutput;
    start.errorFile = errorFile.isEmpty() ? nullptr : errorFile.constData();
    start.parent = ::getpid();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        program.m_start = notStarted(systemError(errno));
        return program;
    }
    pid_t pid = 0;
    int forkError = 0;
    {
        // Tracked before any signal's clean-up can run, so that it ends the child first.
        const EndSignalsHeld held;
        // The child borrows this process's memory until its exec (vfork), rather than have
        // the page tables of all the loaded libraries copied and torn down again: that took
        // milliseconds before every search. This thread waits meanwhile. No signal may run a
        // handler in the borrowed memory: all stay blocked until the child has reset its
        // handlers (which a signal of its own could not reach) just before the exec.
        sigset_t all;
        sigset_t before;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &before);
        pid = ::vfork();
        if (pid == 0)
            execWaited(start, report[1]);
        forkError = errno;
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        if (pid > 0)
            trackChild(pid);
    }
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        program.m_start = notStarted(systemError(forkError));
        return program;
    }
    const int spawnError = startError(report[0]);
    ::close(report[0]);
    if (spawnError != 0) {
        int status = 0;
        reapTracked(pid, &status, 0);
        program.m_start = notStarted(systemError(spawnError));
        return program;
    }
    program.m_start.started = true;
    program.m_pid = pid;
    return program;
}

WaitedProgram::WaitedProgram(WaitedProgram&& other) noexcept
    : m_start(std::move(other.m_start)), m_pid(std::exchange(other.m_pid, -1)) {}

WaitedProgram& WaitedProgram::operator=(WaitedProgram&& other) noexcept {
    if (this != &other) {
        stop();
        m_start = std::move(other.m_start);
        m_pid = std::exchange(other.m_pid, -1);
    }
    return *this;
}

WaitedProgram::~WaitedProgram() {
    stop();
}

StartResult WaitedProgram::waitFor(const std::function<void()>& whileWaiting, int stepMs) {
    StartResult result = m_start;
    if (m_pid < 0)
        return result;
    int status = 0;
    if (waitForExit(m_pid, whileWaiting, stepMs, &status) == 1)
        result.exitCode = exitCodeOf(status);
    else
        result.error = systemError(errno);
    m_pid = -1;
    return result;
}

void WaitedProgram::stop() {
    if (m_pid < 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    reapTracked(m_pid, &status, 0);
    m_pid = -1;
}

StartResult RunAndWait(const QStringList& argv, const std::function<void()>& whileWaiting,
                       const OutputRedirection& redirection) {
    WaitedProgram program = startWaited(argv, redirection);
    return program.waitFor(whileWaiting);
}

StartResult startDetached(const QStringList& argv) {
    if (argv.isEmpty() || argv.first().isEmpty())
        return notStarted(QStringLiteral("No program was named."));
    const NativeArgv native(argv);
    const std::vector<QByteArray> candidates = executableCandidates(argv.first());
    std::vector<const char*> candidatePointers;
    for (const QByteArray& candidate : candidates)
        candidatePointers.push_back(candidate.constData());

    // The grandchild writes its exec error here; the pipe closes on a successful exec, so
    // the parent reading end of file knows the program is running.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return notStarted(systemError(errno));
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return notStarted(systemError(error));
    }
    if (child == 0) {
        // Double fork: the middle process ends at once, so the program is adopted by init
        // (never our zombie), in a session of its own.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(1);
        }
        if (grandchild > 0)
            ::_exit(0);
        execOrReport(candidatePointers, native.data(), report[1]);
    }

    ::close(report[1]);
    int status = 0;
    reap(child, &status, 0);
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error))
        return notStarted(systemError(error));
    StartResult result;
    result.started = true;
    return result;
}

} // namespace mixgen

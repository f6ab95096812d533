#include "platform/process.h"

#include "platform/folders.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace mixgen {

namespace {

// The batch interpreter installed beside the program.
constexpr char kBatchInterpreter[] = "mixgen-cmd";
constexpr int kWaitStepMs = 50;
// Room kept on the disk for what a waited-for program says on standard error, so that a disk
// it fills still lets it say why it failed: this much, or less on a disk nearly full already.
constexpr off_t kMostErrorRoom = 64 * 1024;
constexpr off_t kLeastErrorRoom = 4 * 1024;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// An argument vector in the form exec wants, built before any fork so that the child only
// touches memory that is already there.
class NativeArgv {
public:
    explicit NativeArgv(const QStringList& argv) {
        m_bytes.reserve(argv.size());
        for (const QString& argument : argv)
            m_bytes.push_back(QFile::encodeName(argument));
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

// Sleeps up to one wait step, waking early when the child ends (when the kernel can tell) or
// wakeFd becomes readable.
void pauseStep(int pidfd, int wakeFd) {
    pollfd watch[2] = {{pidfd, POLLIN, 0}, {wakeFd, POLLIN, 0}}; // a negative fd is skipped
    if (pidfd >= 0 || wakeFd >= 0) {
        ::poll(watch, 2, kWaitStepMs);
        return;
    }
    ::usleep(kWaitStepMs * 1000);
}

int waitForExit(pid_t pid, const std::function<void()>& whileWaiting, int wakeFd, int* status) {
    if (!whileWaiting)
        return reap(pid, status, 0);
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int state = reap(pid, status, WNOHANG);
    while (state == 0) {
        pauseStep(pidfd, wakeFd);
        state = reap(pid, status, WNOHANG);
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
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal : kResetSignals)
        ::sigaction(signal, &byDefault, nullptr);

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

} // namespace

void ignoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

QStringList commandForBatch(const QStringList& argv) {
    if (argv.isEmpty() || !argv.first().endsWith(QLatin1String(".bat"), Qt::CaseInsensitive))
        return argv;
    return QStringList{programFolder() + QLatin1String(kBatchInterpreter)} + argv;
}

StartResult RunAndWait(const QStringList& argv, const std::function<void()>& whileWaiting,
                       const OutputRedirection& redirection, int wakeFd) {
    if (argv.isEmpty() || argv.first().isEmpty())
        return notStarted(QStringLiteral("No program was named."));
    const NativeArgv native(commandForBatch(argv));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (redirection.discardOutput)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const QByteArray errorFile = QFile::encodeName(redirection.errorFile);
    int errorFd = -1;
    if (!errorFile.isEmpty()) {
        errorFd = ::open(errorFile.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (errorFd < 0) {
            const int error = errno;
            posix_spawn_file_actions_destroy(&actions);
            return notStarted(systemError(error));
        }
        // Where the file system cannot keep room, the file grows as it is written.
        for (off_t room = kMostErrorRoom; room >= kLeastErrorRoom; room /= 4) {
            if (::fallocate(errorFd, FALLOC_FL_KEEP_SIZE, 0, room) == 0 || errno != ENOSPC)
                break;
        }
        posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    }

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t reset;
    sigemptyset(&reset);
    for (int signal : kResetSignals)
        sigaddset(&reset, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawnError =
        ::posix_spawnp(&pid, native.program(), &actions, &attributes, native.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (errorFd >= 0)
        ::close(errorFd);
    if (spawnError != 0)
        return notStarted(systemError(spawnError));

    StartResult result;
    result.started = true;
    int status = 0;
    if (waitForExit(pid, whileWaiting, wakeFd, &status) == 1)
        result.exitCode = exitCodeOf(status);
    else
        result.error = systemError(errno);
    return result;
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

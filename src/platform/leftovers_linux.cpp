#include "platform/leftovers.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mixgen {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The signal handler reads these slots and nothing else: a slot is filled while it is
// Claimed and only then made visible, so the handler never sees half a path.
enum SlotState : int { Free, Claimed, File, Folder, Child, Restore };

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
    pid_t pid = 0;
    int targetFd = -1;
    int backupFd = -1;
};

constexpr int kSlotCount = 32;
Slot g_slots[kSlotCount];
std::atomic<bool> handlersInstalled{false};

struct linux_dirent64_ {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Only system calls from here on: these run inside the signal handler too.

// Removing entries while reading the folder may make the reading skip some: it reads again
// until a pass finds nothing left.
void removeFilesIn(int folder) {
    alignas(8) char entries[4096];
    for (int pass = 0; pass < 8; ++pass) {
        bool removedAny = false;
        ::lseek(folder, 0, SEEK_SET);
        for (;;) {
            const long got = ::syscall(SYS_getdents64, folder, entries, sizeof entries);
            if (got <= 0)
                break;
            for (long at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const linux_dirent64_*>(entries + at);
                at += entry->d_reclen;
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
                    ::unlinkat(folder, name, 0) == 0)
                    removedAny = true;
            }
        }
        if (!removedAny)
            return;
    }
}

bool copyBack(int targetFd, int backupFd) {
    if (::ftruncate(targetFd, 0) != 0)
        return false;
    char block[8192];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(backupFd, block, sizeof block, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(targetFd, block + done, size_t(got - done), at + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
        at += got;
    }
    return ::fsync(targetFd) == 0;
}

void cleanUpEverything() {
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == Child) {
            ::kill(slot.pid, SIGKILL);
            while (::waitpid(slot.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    for (Slot& slot : g_slots) {
        switch (slot.state.load(std::memory_order_acquire)) {
        case Restore:
            copyBack(slot.targetFd, slot.backupFd);
            break;
        case File:
            ::unlink(slot.path);
            break;
        case Folder:
            removeFolderWithFiles(slot.path);
            break;
        default:
            break;
        }
    }
}

void onEndSignal(int signal) {
    cleanUpEverything();
    // Ended by the same signal, so whoever waits for us sees 128 plus its number.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
    ::raise(signal);
    sigset_t just;
    sigemptyset(&just);
    sigaddset(&just, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
    ::_exit(128 + signal);
}

void installHandlers() {
    if (handlersInstalled.exchange(true))
        return;
    struct sigaction ours {};
    ours.sa_handler = onEndSignal;
    sigemptyset(&ours.sa_mask);
    for (int signal : kEndSignals)
        sigaddset(&ours.sa_mask, signal); // one clean-up at a time
    ours.sa_flags = SA_RESTART;
    for (int signal : kEndSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
            !(old.sa_flags & SA_SIGINFO))
            ::sigaction(signal, &ours, nullptr);
    }
}

Slot* claimSlot() {
    installHandlers();
    for (Slot& slot : g_slots) {
        int expected = Free;
        if (slot.state.compare_exchange_strong(expected, Claimed))
            return &slot;
    }
    return nullptr; // too many at once: this one is left to a later run's sweep
}

template <typename Matches> void freeSlots(Matches matches) {
    const EndSignalsHeld held;
    for (Slot& slot : g_slots) {
        const int state = slot.state.load(std::memory_order_acquire);
        if (state != Free && state != Claimed && matches(slot, state))
            slot.state.store(Free, std::memory_order_release);
    }
}

// The start time of a process in clock ticks since boot (field 22 of its stat), or 0.
unsigned long long startTimeOf(pid_t pid) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%d/stat", int(pid));
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[1024];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return 0;
    text[got] = '\0';
    // The command name in parentheses may hold blanks: the fields are counted after it.
    const char* at = std::strrchr(text, ')');
    if (!at)
        return 0;
    int field = 2;
    for (const char* c = at + 1; *c; ++c) {
        if (*c == ' ') {
            ++field;
            if (field == 22)
                return std::strtoull(c + 1, nullptr, 10);
        }
    }
    return 0;
}

// "<pid>.<start>" at the front of text, followed by "-" and six characters, and nothing else.
bool parseMark(QByteArrayView text, QByteArrayView* mark) {
    const qsizetype dash = text.indexOf('-');
    if (dash <= 0 || text.size() != dash + 7)
        return false;
    const QByteArrayView front = text.first(dash);
    const qsizetype dot = front.indexOf('.');
    if (dot <= 0 || dot == front.size() - 1)
        return false;
    for (qsizetype i = 0; i < front.size(); ++i) {
        if (i != dot && (front[i] < '0' || front[i] > '9'))
            return false;
    }
    *mark = front;
    return true;
}

// A run folder with a restore record: the file it names gets the backup's bytes back. True when
// there was nothing to restore or the bytes are back.
bool restoreInterruptedWrite(int runFolder) {
    const int recordFd = ::openat(runFolder, kRestoreRecordName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (recordFd < 0)
        return errno == ENOENT;
    char text[PATH_MAX + 64];
    const ssize_t got = ::read(recordFd, text, sizeof text - 1);
    ::close(recordFd);
    if (got <= 0)
        return true; // the record was never written whole: the file was not touched yet
    text[got] = '\0';
    char* newline = std::strchr(text, '\n');
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (!newline || std::sscanf(text, "%llu %llu", &device, &inode) != 2)
        return true;
    const char* path = newline + 1;
    const int target = ::open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (target < 0 || ::fstat(target, &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_dev != dev_t(device) || info.st_ino != ino_t(inode)) {
        if (target >= 0)
            ::close(target);
        return true; // the file is gone or another one stands there now: nothing to put back
    }
    const int backup = ::openat(runFolder, kBackupName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool back = backup >= 0 && copyBack(target, backup);
    if (backup >= 0)
        ::close(backup);
    ::close(target);
    return back;
}

} // namespace

bool putBackBytes(int targetFd, int backupFd) {
    return copyBack(targetFd, backupFd);
}

EndSignalsHeld::EndSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kEndSignals)
        sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &m_old);
}

EndSignalsHeld::~EndSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

QByteArray processMark() {
    static pid_t markedPid = 0;
    static QByteArray mark;
    const pid_t pid = ::getpid();
    if (pid != markedPid) {
        mark = QByteArray::number(pid) + '.' + QByteArray::number(startTimeOf(pid));
        markedPid = pid;
    }
    return mark;
}

bool markedProcessGone(QByteArrayView mark) {
    const qsizetype dot = mark.indexOf('.');
    if (dot <= 0)
        return false;
    bool pidOk = false;
    bool startOk = false;
    const long long pid = mark.first(dot).toByteArray().toLongLong(&pidOk);
    const unsigned long long start = mark.sliced(dot + 1).toByteArray().toULongLong(&startOk);
    if (!pidOk || !startOk || pid <= 0 || pid > INT_MAX)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    // The pid lives: it is the same process only when it started at the same moment.
    const unsigned long long now = startTimeOf(pid_t(pid));
    return now != 0 && now != start;
}

void trackLeftover(LeftoverKind kind, const QByteArray& path) {
    if (path.size() >= PATH_MAX)
        return;
    const EndSignalsHeld held;
    Slot* slot = claimSlot();
    if (!slot)
        return;
    std::memcpy(slot->path, path.constData(), size_t(path.size()));
    slot->path[path.size()] = '\0';
    slot->state.store(kind == LeftoverKind::File ? File : Folder, std::memory_order_release);
}

void forgetLeftover(const QByteArray& path) {
    freeSlots([&](const Slot& slot, int state) {
        return (state == File || state == Folder) && path == slot.path;
    });
}

void trackChild(pid_t pid) {
    const EndSignalsHeld held;
    if (Slot* slot = claimSlot()) {
        slot->pid = pid;
        slot->state.store(Child, std::memory_order_release);
    }
}

void forgetChild(pid_t pid) {
    freeSlots([&](const Slot& slot, int state) { return state == Child && slot.pid == pid; });
}

void trackRestore(int targetFd, int backupFd) {
    const EndSignalsHeld held;
    if (Slot* slot = claimSlot()) {
        slot->targetFd = targetFd;
        slot->backupFd = backupFd;
        slot->state.store(Restore, std::memory_order_release);
    }
}

void forgetRestore(int targetFd) {
    freeSlots(
        [&](const Slot& slot, int state) { return state == Restore && slot.targetFd == targetFd; });
}

void removeFolderWithFiles(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    removeFilesIn(fd);
    ::close(fd);
    ::rmdir(path);
}

void sweepLeftovers(const QByteArray& folder, QByteArrayView prefix, LeftoverKind kind) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* entries = ::fdopendir(fd);
    if (!entries) {
        ::close(fd);
        return;
    }
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(entries)) {
        const QByteArrayView name(entry->d_name);
        QByteArrayView mark;
        if (!name.startsWith(prefix) || !parseMark(name.sliced(prefix.size()), &mark))
            continue;
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != me)
            continue;
        const bool fits =
            kind == LeftoverKind::Folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
        if (!fits || !markedProcessGone(mark))
            continue;
        if (kind == LeftoverKind::File) {
            ::unlinkat(fd, entry->d_name, 0);
        } else {
            const int inner =
                ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner < 0)
                continue;
            // A file the killed run was writing in place gets its old bytes back first; when
            // that fails the folder stays, so that they are not lost.
            const bool restored = restoreInterruptedWrite(inner);
            if (restored)
                removeFilesIn(inner);
            ::close(inner);
            if (restored)
                ::unlinkat(fd, entry->d_name, AT_REMOVEDIR);
        }
    }
    ::closedir(entries);
}

} // namespace mixgen

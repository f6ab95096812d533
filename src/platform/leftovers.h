#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <csignal>
#include <sys/types.h>

// What a run leaves while it works (its private folder, the fresh playlist beside the old one,
// the batch interpreter it waits for) goes when the program is ended by SIGTERM, SIGHUP or
// SIGINT, and what a killed run left is removed by a later run once its process is gone.
namespace mixgen {

// This process's mark in the names of what it leaves: "<pid>.<start time>". The start time
// tells a process apart from a later one that was given the same pid.
QByteArray processMark();
// Whether the process that a mark names has ended. A mark that cannot be read counts as living.
bool markedProcessGone(QByteArrayView mark);

enum class LeftoverKind { File, Folder };

// Has path removed (a folder with the plain files in it) if the program is ended by one of
// those signals before forgetLeftover(path). The first call sets up the handlers, but only for
// signals that still have their default action (one that is ignored, as under nohup, stays
// ignored). The program then ends by the same signal, with the status a shell expects.
void trackLeftover(LeftoverKind kind, const QByteArray& path);
void forgetLeftover(const QByteArray& path);

// A program being waited for is ended first, so that it writes nothing more.
void trackChild(pid_t pid);
void forgetChild(pid_t pid);

// A file being written in place: its old bytes, kept in backupFd, are put back into targetFd.
void trackRestore(int targetFd, int backupFd);
void forgetRestore(int targetFd);

// Puts the bytes of backupFd back into targetFd, whole, and flushes them. Safe inside a signal
// handler. False when that failed (the backup then still holds them).
bool putBackBytes(int targetFd, int backupFd);

// A file written in place keeps its old bytes in a run folder, as kBackupName, beside a record
// (kRestoreRecordName: "<device> <inode>" on one line, then the file's path) that exists only
// while the write is not done. A later run's sweep of a killed run's folder puts the old bytes
// back into the file when the record is still there and names the very same file.
inline constexpr char kBackupName[] = "old";
inline constexpr char kRestoreRecordName[] = "restore";

// In folder, removes the entries named prefix + a process mark + "-" + six characters that
// this user owns, are of the given kind and whose process is gone. A folder is removed with
// the plain files in it.
void sweepLeftovers(const QByteArray& folder, QByteArrayView prefix, LeftoverKind kind);

// While it lives, those signals wait on this thread: what is made meanwhile is tracked before
// a clean-up can run.
class EndSignalsHeld {
public:
    EndSignalsHeld();
    ~EndSignalsHeld();
    EndSignalsHeld(const EndSignalsHeld&) = delete;
    EndSignalsHeld& operator=(const EndSignalsHeld&) = delete;

private:
    sigset_t m_old;
};

// Removes a folder and the plain files in it, following no link. Safe inside a signal handler.
void removeFolderWithFiles(const char* path);

} // namespace mixgen

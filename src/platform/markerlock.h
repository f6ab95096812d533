#pragma once

#include <QString>

// The lock that instances started together take on a marker file in the work folder.
namespace mixgen {

// An exclusive lock on a marker file, held for as long as the object holds it. The kernel lets
// it go when the process ends in any way, so a killed holder never leaves it taken.
class MarkerLock {
public:
    enum class Attempt {
        Locked,  // this object holds the lock now
        Busy,    // another process holds it, or the marker was replaced meanwhile: try again
        Refused, // the marker cannot be opened or locked at all (see why())
    };

    MarkerLock() = default;
    ~MarkerLock();
    MarkerLock(const MarkerLock&) = delete;
    MarkerLock& operator=(const MarkerLock&) = delete;

    // One attempt without waiting. The marker is created with mode 0600 when missing; a
    // symbolic link, a folder or any other non-file at its place is refused and never
    // followed or written; so is a file that belongs to another user. A lock on a file that is no
    // longer the one at path (deleted or made anew by another instance meanwhile) does not count
    // and reads as Busy.
    Attempt tryLock(const QString& path);

    // Deletes the marker while the lock is still held (so a waiter that opened the old file
    // sees it is gone), then releases it. Whether the deletion worked is not examined.
    void removeAndRelease();
    void release();

    bool isLocked() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }
    // Why the last attempt was refused, in words.
    const QString& why() const { return m_why; }

private:
    int m_fd = -1;
    QString m_path;
    QString m_why;
};

// Keeps a file open without locking it, to tell later whether it was removed meanwhile: while
// it is open the kernel keeps the file, so a new file made at the same path is never taken
// for it.
class RemovalWatch {
public:
    RemovalWatch() = default;
    ~RemovalWatch();
    RemovalWatch(const RemovalWatch&) = delete;
    RemovalWatch& operator=(const RemovalWatch&) = delete;

    // Opens the file at path, never through a link, and only when it is this user's own.
    bool watch(const QString& path);
    // Whether the watched file has been removed from its folder (true when nothing is watched).
    bool removed() const;

private:
    int m_fd = -1;
};

} // namespace mixgen

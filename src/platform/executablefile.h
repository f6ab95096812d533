#pragma once

#include <QByteArray>
#include <QString>

// The small executable files the program keeps in the user's own folders (the file managers'
// actions for the folder context-menu entries), and the lock that keeps their writers apart.
namespace mixgen {

// Writes bytes as the whole file at path, executable by its owner only (mode 0700): a fresh
// file is made beside it (created new, never through a link), flushed and renamed over path,
// so path holds the old file or the new one, never half of one. Missing folders are made.
// A folder, link or other non-file at path is refused. False with the reason in *why.
bool writeExecutableFile(const QString& path, const QByteArray& bytes, QString* why = nullptr);

// Removes the file at path; a missing file counts as removed. False with the reason in *why.
bool removeFileAt(const QString& path, QString* why = nullptr);

// An exclusive lock on a lock file (created with mode 0600, never through a link), held while
// the object lives. Waits up to waitMs for another holder; the kernel releases it when the
// process ends in any way.
class ExclusiveLock {
public:
    ExclusiveLock(const QString& lockPath, int waitMs);
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    bool isLocked() const { return m_locked; }
    const QString& why() const { return m_why; }

private:
    int m_fd = -1;
    bool m_locked = false;
    QString m_why;
};

} // namespace mixgen

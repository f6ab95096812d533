#include "platform/inplacewrite.h"

#include "platform/folders.h"
#include "platform/leftovers.h"
#include "platform/nameencoding.h"
#include "platform/systemerror.h"
#include "platform/writeall.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mixgen {

namespace {

// Another writer of the same file is waited for this long, in steps of kLockStepMs.
constexpr int kLockStepMs = 10;
constexpr int kLockSteps = 3000;

bool copyAll(int from, int to) {
    char block[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(from, block, sizeof block, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(to, QByteArrayView(block, got)))
            return false;
        at += got;
    }
}

// The record names the file by a full path: the run that may read it has a folder of its own.
QByteArray fullPath(const QByteArray& path) {
    if (path.startsWith('/'))
        return path;
    char here[PATH_MAX];
    return ::getcwd(here, sizeof here) ? QByteArray(here) + '/' + path : path;
}

bool lockWithin(int fd) {
    for (int step = 0; step < kLockSteps; ++step) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        ::usleep(kLockStepMs * 1000);
    }
    errno = EWOULDBLOCK;
    return false;
}

// Made whole under a passing name, then renamed: the record is there whole or not at all.
bool writeRecord(const QString& folder, const struct stat& file, const QByteArray& path) {
    const QByteArray passing = encodeFileName(folder) + kRestoreRecordName + ".new";
    const QByteArray record = encodeFileName(folder) + kRestoreRecordName;
    const int fd =
        ::open(passing.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray text = QByteArray::number(qulonglong(file.st_dev)) + ' ' +
                            QByteArray::number(qulonglong(file.st_ino)) + '\n' + fullPath(path);
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    return written && ::rename(passing.constData(), record.constData()) == 0;
}

} // namespace

InPlaceWrite::~InPlaceWrite() {
    if (m_fd >= 0)
        putBack(QString());
}

bool InPlaceWrite::begin(const QByteArray& target, const struct stat& old) {
    m_fd = ::open(target.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0)
        return fail(systemError(errno));
    struct stat opened {};
    if (::fstat(m_fd, &opened) != 0)
        return fail(systemError(errno));
    if (!S_ISREG(opened.st_mode) || opened.st_dev != old.st_dev || opened.st_ino != old.st_ino)
        return fail(QStringLiteral("The file was replaced while it was being opened."));
    if (!lockWithin(m_fd))
        return fail(errno == EWOULDBLOCK ? QStringLiteral("Another program kept writing the file.")
                                         : systemError(errno));

    QString why;
    const QString work = workFolder(&why);
    m_runFolder = work.isEmpty() ? QString() : newRunFolder(work, &why);
    if (m_runFolder.isEmpty())
        return fail(why);
    const QByteArray backup = encodeFileName(m_runFolder) + kBackupName;
    m_backupFd =
        ::open(backup.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_backupFd < 0 || !copyAll(m_fd, m_backupFd) || ::fsync(m_backupFd) != 0 ||
        !writeRecord(m_runFolder, opened, target))
        return fail(
            QStringLiteral("Its old content could not be kept: %1").arg(systemError(errno)));

    {
        const EndSignalsHeld held; // a signal from here on puts the old bytes back
        trackRestore(m_fd, m_backupFd);
    }
    if (::ftruncate(m_fd, 0) != 0) {
        putBack(systemError(errno));
        return false;
    }
    return true;
}

bool InPlaceWrite::finish() {
    if (m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0) {
        putBack(systemError(errno));
        return false;
    }
    // The write is done from here on: a later run must not put the old bytes back.
    ::unlink((encodeFileName(m_runFolder) + kRestoreRecordName).constData());
    forgetRestore(m_fd);
    close();
    removeRunFolder(m_runFolder);
    m_runFolder.clear();
    return true;
}

void InPlaceWrite::putBack(const QString& reason) {
    m_why = reason;
    if (m_fd < 0)
        return;
    const bool back = putBackBytes(m_fd, m_backupFd);
    forgetRestore(m_fd);
    if (back) {
        close();
        removeRunFolder(m_runFolder);
        m_runFolder.clear();
        return;
    }
    // The old bytes stay where they are, and a later run tries again to put them back.
    forgetLeftover(QFile::encodeName(m_runFolder.chopped(1)));
    m_why += QStringLiteral("\r\nIts old content is kept in %1%2.")
                 .arg(m_runFolder, QLatin1String(kBackupName));
    close();
}

bool InPlaceWrite::fail(const QString& reason) {
    m_why = reason;
    close();
    if (!m_runFolder.isEmpty())
        removeRunFolder(m_runFolder);
    m_runFolder.clear();
    return false;
}

void InPlaceWrite::close() {
    if (m_fd >= 0)
        ::close(m_fd); // lets the lock go
    if (m_backupFd >= 0)
        ::close(m_backupFd);
    m_fd = -1;
    m_backupFd = -1;
}

} // namespace mixgen

#include "platform/markerlock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

MarkerLock::~MarkerLock() {
    release();
}

MarkerLock::Attempt MarkerLock::tryLock(const QString& path) {
    release();
    m_why.clear();
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO planted at the marker's place must not hold the open up.
    const int fd = ::open(name.constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        const int error = errno;
        m_why = error == ELOOP ? QStringLiteral("it is a symbolic link") : errorText(error);
        return Attempt::Refused;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        m_why = QStringLiteral("it is not an ordinary file");
        return Attempt::Refused;
    }
    // Another user's file could be held locked for ever, or let go at will, to steer us.
    if (opened.st_uid != ::geteuid()) {
        ::close(fd);
        m_why = QStringLiteral("it belongs to another user (uid %1)").arg(opened.st_uid);
        return Attempt::Refused;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK || error == EINTR)
            return Attempt::Busy;
        m_why = errorText(error);
        return Attempt::Refused;
    }
    // The lock counts only on the file that is at path now.
    struct stat current {};
    if (::lstat(name.constData(), &current) != 0 || current.st_dev != opened.st_dev ||
        current.st_ino != opened.st_ino) {
        ::close(fd);
        return Attempt::Busy;
    }
    m_fd = fd;
    m_path = path;
    return Attempt::Locked;
}

void MarkerLock::removeAndRelease() {
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    release();
}

void MarkerLock::release() {
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing lets the lock go
    m_fd = -1;
}

RemovalWatch::~RemovalWatch() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RemovalWatch::watch(const QString& path) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (m_fd >= 0 &&
        (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())) {
        ::close(m_fd);
        m_fd = -1;
    }
    return m_fd >= 0;
}

bool RemovalWatch::removed() const {
    struct stat info {};
    return m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_nlink == 0;
}

} // namespace mixgen

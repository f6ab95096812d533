#include "platform/executablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

bool fail(QString* why, const QString& reason) {
    if (why)
        *why = reason;
    return false;
}

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

bool writeExecutableFile(const QString& path, const QByteArray& bytes, QString* why) {
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(why,
                    QStringLiteral("The folder %1 cannot be made.").arg(target.absolutePath()));
    const QByteArray name = QFile::encodeName(target.absoluteFilePath());
    struct stat old {};
    if (::lstat(name.constData(), &old) == 0 && !S_ISREG(old.st_mode))
        return fail(why, QStringLiteral("%1 is not an ordinary file.").arg(path));

    // The fresh file: a new name in the same folder, so the rename stays on one file system.
    QByteArray fresh;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        fresh =
            QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                              QStringLiteral(".%1.new").arg(QRandomGenerator::global()->generate(),
                                                            8, 16, QLatin1Char('0')));
        fd = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
        if (fd < 0 && errno != EEXIST)
            return fail(
                why,
                QStringLiteral("%1 cannot be written: %2").arg(target.absolutePath(), errnoText()));
    }
    if (fd < 0)
        return fail(why,
                    QStringLiteral("No fresh file can be made in %1.").arg(target.absolutePath()));
    const bool written = ::fchmod(fd, 0700) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const QString writeError = errnoText();
    ::close(fd);
    if (!written || ::rename(fresh.constData(), name.constData()) != 0) {
        const QString reason = written ? errnoText() : writeError;
        ::unlink(fresh.constData());
        return fail(why, QStringLiteral("%1 cannot be written: %2").arg(path, reason));
    }
    return true;
}

bool removeFileAt(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) == 0 || errno == ENOENT)
        return true;
    return fail(why, QStringLiteral("%1 cannot be removed: %2").arg(path, errnoText()));
}

ExclusiveLock::ExclusiveLock(const QString& lockPath, int waitMs) {
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    const QByteArray name = QFile::encodeName(lockPath);
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0 && errno != ELOOP)
        m_fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0) {
        m_why = QStringLiteral("%1 cannot be opened: %2").arg(lockPath, errnoText());
        return;
    }
    for (int waited = 0;; waited += 20) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (waited >= waitMs) {
            m_why = QStringLiteral("Another instance of the program holds %1.").arg(lockPath);
            return;
        }
        QThread::msleep(20);
    }
    m_why = QStringLiteral("%1 cannot be locked: %2").arg(lockPath, errnoText());
}

ExclusiveLock::~ExclusiveLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace mixgen

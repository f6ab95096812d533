#include "lockedfile.h"

#include "platform/writeall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

// Mode of a store file created for the first time: it is the user's own.
constexpr mode_t kNewFileMode = 0600;

// The file that is really replaced: a store file kept as a symbolic link (to a dotfiles
// folder, say) keeps its link, and the link's target gets the new content.
QString resolvedTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// Holds an exclusive flock on the companion lock file for as long as it lives. The lock goes
// with the process, so a writer that is killed never leaves it taken.
class StoreLock {
public:
    explicit StoreLock(const QString& lockPath) {
        const QByteArray name = QFile::encodeName(lockPath);
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
        if (m_fd < 0)
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        int rc;
        do {
            rc = ::flock(m_fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        m_locked = rc == 0;
    }
    ~StoreLock() {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    bool locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};

StoreFileVersion versionOf(const struct stat& st) {
    constexpr qint64 kNsPerSecond = 1000000000;
    StoreFileVersion version;
    version.device = st.st_dev;
    version.inode = st.st_ino;
    version.size = st.st_size;
    version.modifiedNs = qint64(st.st_mtim.tv_sec) * kNsPerSecond + st.st_mtim.tv_nsec;
    version.changedNs = qint64(st.st_ctim.tv_sec) * kNsPerSecond + st.st_ctim.tv_nsec;
    return version;
}

// No write right for anyone (kept from root too: the owner has said so), or none for us.
bool isReadOnly(const QByteArray& name, const struct stat& st) {
    return (st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0;
}

enum class ReadResult { Read, Missing, Failed, Known };

// Reads the file whole, unless its version is known: then Known, and content is left as it is.
ReadResult readWhole(const QByteArray& name, QByteArray* content, mode_t* mode,
                     StoreFileVersion* version = nullptr,
                     const std::optional<StoreFileVersion>& known = std::nullopt) {
    // Without blocking: a pipe or device put where the file should be is refused below
    // instead of waiting for a writer forever.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    *mode = st.st_mode & 07777;
    if (version)
        *version = versionOf(st);
    if (known && *known == versionOf(st)) {
        ::close(fd);
        return ReadResult::Known;
    }
    content->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return ReadResult::Failed;
        }
        content->append(buffer, n);
    }
    ::close(fd);
    return ReadResult::Read;
}

// Writes bytes to temp and renames it over target; on any failure removes temp and leaves
// target as it was. *written receives the new file's version (a rename keeps it).
bool replaceFile(const QByteArray& target, const QByteArray& temp, const QByteArray& bytes,
                 mode_t mode, StoreFileVersion* written) {
    ::unlink(temp.constData()); // a leftover of a writer that was killed
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    // Looked at once renamed (a rename changes the file's status time), through a descriptor
    // of its own: whatever else may stand at the target by then, this is the file written.
    const int look = ::dup(fd);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    struct stat st {};
    // Not known (a version no file has) when it cannot be looked at.
    *written = look >= 0 && ::fstat(look, &st) == 0 ? versionOf(st) : StoreFileVersion{};
    if (look >= 0)
        ::close(look);
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

} // namespace

QString storeLockPath(const QString& path) {
    return path + QStringLiteral(".lock");
}

QString storeTempPath(const QString& path) {
    return path + QStringLiteral(".new");
}

std::optional<StoreFileVersion> storeFileVersion(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return versionOf(st);
}

QByteArray readStoreFile(const QString& path) {
    QByteArray content;
    mode_t mode = 0;
    if (readWhole(QFile::encodeName(path), &content, &mode) != ReadResult::Read)
        return {};
    return content;
}

bool readStoreFile(const QString& path, QByteArray* content, StoreFileVersion* version) {
    mode_t mode = 0;
    return readWhole(QFile::encodeName(path), content, &mode, version) == ReadResult::Read;
}

bool updateStoreFile(const QString& path,
                     const std::function<std::optional<QByteArray>(const QByteArray&)>& edit) {
    return updateStoreFile(path, std::nullopt, [&](const std::optional<QByteArray>& content) {
        return edit(content.value_or(""));
    });
}

bool updateStoreFile(
    const QString& path, const std::optional<StoreFileVersion>& known,
    const std::function<std::optional<QByteArray>(const std::optional<QByteArray>&)>& edit,
    std::optional<StoreFileVersion>* after) {
    const QString target = resolvedTarget(path);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;

    const StoreLock lock(storeLockPath(target));
    if (!lock.locked())
        return false;

    const QByteArray targetName = QFile::encodeName(target);
    QByteArray current;
    mode_t mode = kNewFileMode;
    StoreFileVersion found;
    // A file that exists but cannot be read must not be replaced by one holding only the new
    // key: that would lose every other key.
    const ReadResult read = readWhole(targetName, &current, &mode, &found, known);
    if (read == ReadResult::Failed)
        return false;
    // A read-only file is the owner's word: it is left as it is, not renamed over.
    struct stat st {};
    if (read != ReadResult::Missing && ::stat(targetName.constData(), &st) == 0 &&
        isReadOnly(targetName, st))
        return false;

    const std::optional<QByteArray> changed =
        edit(read == ReadResult::Known ? std::nullopt : std::optional<QByteArray>(current));
    if (!changed) {
        if (after)
            *after = read == ReadResult::Missing ? std::nullopt : std::optional(found);
        return true;
    }
    StoreFileVersion written;
    if (!replaceFile(targetName, QFile::encodeName(storeTempPath(target)), *changed, mode,
                     &written))
        return false;
    if (after)
        *after = written;
    return true;
}

QString storeFileProblem(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? QStringLiteral("It is a folder, not a file.")
                                   : QStringLiteral("It is not a regular file.");
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QStringLiteral("It cannot be read: %1.")
            .arg(QString::fromLocal8Bit(strerror(errno)));
    ::close(fd);
    return {};
}

QString storeFileWriteProblem(const QString& path) {
    const QString target = resolvedTarget(path);
    const QByteArray name = QFile::encodeName(target);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    if (isReadOnly(name, st))
        return QStringLiteral("It is read-only.");
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("Its folder may not be written.");
    return {};
}

bool storeFileWritable(const QString& path) {
    const QString target = resolvedTarget(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return false;
    const QByteArray name = QFile::encodeName(target);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode) && ::access(name.constData(), R_OK | W_OK) == 0;
}

} // namespace mixgen

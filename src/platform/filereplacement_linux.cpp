#include "platform/filereplacement.h"

#include "platform/inplacewrite.h"
#include "platform/leftovers.h"
#include "platform/nameencoding.h"
#include "platform/systemerror.h"
#include "platform/writeall.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

// The links the kernel itself follows before giving up.
constexpr int kMostLinks = 40;
// Of the target's name, this much goes into the fresh file's name (NAME_MAX is 255).
constexpr qsizetype kMostNameKept = 200;

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// Whether a link may be followed where the kernel's protected_symlinks would follow it: not in
// a sticky folder that everyone may write, unless the link is ours or the folder owner's. There
// anyone could have planted it, to have us write a file of ours they cannot reach.
bool mayFollowLink(const struct stat& folder, const struct stat& link) {
    const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// The file a write to path lands in: path itself, or the end of its chain of links (which
// may not exist yet: writing creates it). A link someone else planted is refused (*planted).
bool resolveLinks(QByteArray path, QByteArray* target, bool* planted) {
    *planted = false;
    for (int followed = 0; followed <= kMostLinks; ++followed) {
        // The link is looked at through its folder, so the owner checked is the one read.
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray name = path.mid(slash + 1);
        const int folder = ::open(folderOf(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat folderInfo {};
        struct stat info {};
        if (folder < 0 || name.isEmpty() || ::fstat(folder, &folderInfo) != 0 ||
            ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(info.st_mode)) {
            if (folder >= 0)
                ::close(folder);
            *target = path;
            return true;
        }
        if (!mayFollowLink(folderInfo, info)) {
            ::close(folder);
            *planted = true;
            errno = EACCES;
            return false;
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlinkat(folder, name.constData(), link, sizeof link - 1);
        const int error = errno;
        ::close(folder);
        if (length < 0) {
            errno = error;
            return false;
        }
        const QByteArray next(link, length);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    errno = ELOOP;
    return false;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

FileReplacement::FileReplacement(QString path) : m_path(std::move(path)) {}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0 && !m_inPlace)
        ::close(m_fd);
    if (!m_fresh.isEmpty()) {
        ::unlink(m_fresh.constData());
        forgetLeftover(m_fresh);
    }
}

bool FileReplacement::fail(const QString& reason) {
    m_why = reason;
    if (m_inPlace) {
        m_inPlace->putBack(reason);
        m_why = m_inPlace->why();
        m_inPlace.reset();
    } else if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    if (!m_fresh.isEmpty()) {
        ::unlink(m_fresh.constData());
        forgetLeftover(m_fresh);
    }
    m_fresh.clear();
    return false;
}

bool FileReplacement::begin() {
    const QByteArray named = encodeFileName(m_path);
    if (named.isEmpty() || named.contains('\0'))
        return fail(QStringLiteral("The name is not a file name."));
    bool planted = false;
    if (!resolveLinks(named, &m_target, &planted))
        return fail(planted ? QStringLiteral("It is a link that another user made in a folder "
                                             "open to everyone, and it is not followed.")
                            : systemError(errno));

    struct stat old {};
    const bool exists = ::stat(m_target.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(S_ISDIR(old.st_mode) ? QStringLiteral("It is a folder, not a file.")
                                         : QStringLiteral("It is not a regular file."));
    if (!exists && errno != ENOENT)
        return fail(systemError(errno));

    // Hidden, so that a search of this folder running meanwhile never lists it; a long name is
    // shortened so that the fresh name still fits. It carries this process's mark, so that a
    // later run can remove the fresh files of this user's runs that were killed.
    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = m_target.left(slash + 1);
    const QByteArray freshPrefix = '.' + m_target.mid(slash + 1).left(kMostNameKept) + ".new-";
    sweepLeftovers(folder.isEmpty() ? QByteArray(".") : folder, freshPrefix, LeftoverKind::File);
    m_fresh = folder + freshPrefix + processMark() + "-XXXXXX";
    {
        // No signal comes between its making and its tracking: it is never left behind.
        const EndSignalsHeld held;
        m_fd = ::mkostemp(m_fresh.data(), O_CLOEXEC);
        if (m_fd >= 0)
            trackLeftover(LeftoverKind::File, m_fresh);
    }
    if (m_fd < 0) {
        const int error = errno;
        m_fresh.clear();
        // A file we may write, in a folder we may not: written in place instead.
        if (error == EACCES && exists &&
            ::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) == 0)
            return beginInPlace(old);
        return fail(systemError(error));
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : newFileMode();
    if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        (void)!::fchown(m_fd, old.st_uid, old.st_gid); // only possible for root; else ours
    if (::fchmod(m_fd, mode) != 0)
        return fail(systemError(errno));
    return true;
}

bool FileReplacement::write(QByteArrayView bytes) {
    if (m_fd < 0)
        return false;
    if (!writeAll(m_fd, bytes))
        return fail(systemError(errno));
    // The disk starts on these bytes now, so the flush at the commit waits for the last few
    // only (a hint: where the file system does not take it, the flush does it all).
    if (!bytes.isEmpty())
        ::sync_file_range(m_fd, m_written, bytes.size(), SYNC_FILE_RANGE_WRITE);
    m_written += bytes.size();
    return true;
}

bool FileReplacement::beginInPlace(const struct stat& old) {
    m_inPlace = std::make_unique<InPlaceWrite>();
    if (!m_inPlace->begin(m_target, old)) {
        m_why = m_inPlace->why();
        m_inPlace.reset();
        return false;
    }
    m_fd = m_inPlace->fd();
    return true;
}

bool FileReplacement::commit(QByteArrayView bytes) {
    if (!write(bytes))
        return false;
    if (m_inPlace) {
        const bool done = m_inPlace->finish();
        if (!done)
            m_why = m_inPlace->why();
        m_inPlace.reset();
        m_fd = -1;
        return done;
    }
    if (::fsync(m_fd) != 0)
        return fail(systemError(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(systemError(errno));
    if (::rename(m_fresh.constData(), m_target.constData()) != 0)
        return fail(systemError(errno));
    forgetLeftover(m_fresh);
    m_fresh.clear();
    return true;
}

} // namespace mixgen

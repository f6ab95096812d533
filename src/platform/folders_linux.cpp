#include "platform/folders.h"

#include "platform/leftovers.h"
#include "platform/nameencoding.h"
#include "platform/systemerror.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

constexpr char kRunFolderPrefix[] = "mixgen-";

// The runtime folder lent to Qt, if any.
QString lentRuntimeFolder;

QString environmentText(const char* name) {
    return QFile::decodeName(qgetenv(name));
}

void setWhy(QString* why, const QString& reason) {
    if (why)
        *why = reason;
}

// A folder named by the user (TEMP): used as it is, but it must exist and take our files.
QString checkedTemp(const QString& temp, QString* why) {
    const QString folder = QFileInfo(temp).isRelative() ? QFileInfo(temp).absoluteFilePath() : temp;
    if (!isFolderPath(folder)) {
        setWhy(why, QStringLiteral("The folder named by TEMP (%1) does not exist.").arg(temp));
        return {};
    }
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) {
        setWhy(why, QStringLiteral("The folder named by TEMP (%1) cannot be written: %2")
                        .arg(temp, systemError(errno)));
        return {};
    }
    return withTrailingSlash(folder);
}

// The session's runtime folder counts only when it is really ours.
bool isOwnFolder(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

} // namespace

bool isFolderPath(const QString& path) {
    struct stat info {};
    return ::stat(encodeFileName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString withTrailingSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString programFolder() {
    // No QCoreApplication needed: the kernel knows the executable, realpath resolves links.
    char resolved[PATH_MAX];
    if (!::realpath("/proc/self/exe", resolved))
        return QStringLiteral("/");
    const QString executable = QFile::decodeName(resolved);
    return withTrailingSlash(executable.left(executable.lastIndexOf(QLatin1Char('/'))));
}

QString privateFolder(const QString& path, QString* why) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        setWhy(why, QStringLiteral("The private work folder %1 cannot be created: %2")
                        .arg(path, systemError(errno)));
        return {};
    }
    // Opened without following links, so the checks and the tightening below apply to the
    // very folder we will use, not to whatever a link planted by someone else points at.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const QString reason = (error == ELOOP || error == ENOTDIR)
                                   ? QStringLiteral("is not a real folder")
                                   : QStringLiteral("cannot be opened: %1").arg(systemError(error));
        setWhy(why, QStringLiteral("The private work folder %1 %2.").arg(path, reason));
        return {};
    }
    struct stat info {};
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = QStringLiteral("cannot be examined: %1").arg(systemError(errno));
    else if (info.st_uid != ::geteuid())
        refusal = QStringLiteral("belongs to another user (uid %1)").arg(info.st_uid);
    else if ((info.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        refusal = QStringLiteral("is open to other users and cannot be closed: %1")
                      .arg(systemError(errno));
    ::close(fd);
    if (!refusal.isEmpty()) {
        setWhy(why, QStringLiteral("The private work folder %1 %2.").arg(path, refusal));
        return {};
    }
    return withTrailingSlash(path);
}

QString workFolder(QString* why) {
    const QString temp = environmentText("TEMP");
    if (!temp.isEmpty())
        return checkedTemp(temp, why);
    const QString runtime = environmentText("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime != lentRuntimeFolder && isOwnFolder(runtime))
        return withTrailingSlash(runtime);
    return privateTmpFolder(why);
}

void lendRuntimeFolder() {
    if (!qgetenv("XDG_RUNTIME_DIR").isEmpty())
        return;
    const QString work = workFolder();
    if (work.isEmpty())
        return;
    const QString runtime =
        privateFolder(work + QStringLiteral("mixgen-runtime-%1").arg(::geteuid()));
    if (runtime.isEmpty())
        return;
    lentRuntimeFolder = runtime.chopped(1);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(lentRuntimeFolder));
}

QString privateTmpFolder(QString* why) {
    return privateFolder(QStringLiteral("/tmp/mixgen-%1").arg(::geteuid()), why);
}

QString newRunFolder(const QString& parent, QString* why) {
    // Run folders of this user's runs that were killed go first; the mark in the name tells
    // whose process is gone.
    const QByteArray native = QFile::encodeName(parent);
    sweepLeftovers(native, kRunFolderPrefix, LeftoverKind::Folder);
    QByteArray name = native + kRunFolderPrefix + processMark() + "-XXXXXX";
    const EndSignalsHeld held; // no signal between its making and its tracking
    if (!::mkdtemp(name.data())) {
        setWhy(why, QStringLiteral("No folder for the search can be made in %1: %2")
                        .arg(parent, systemError(errno)));
        return {};
    }
    trackLeftover(LeftoverKind::Folder, name);
    return withTrailingSlash(QFile::decodeName(name));
}

void removeRunFolder(const QString& folder) {
    QByteArray name = QFile::encodeName(folder);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    removeFolderWithFiles(name.constData());
    forgetLeftover(name);
}

} // namespace mixgen

#include "platform/volumes.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace mixgen {

namespace {

// File systems that only show the kernel's or the system's own state.
bool isPseudoFileSystem(const QByteArray& type) {
    static const QSet<QByteArray> pseudo = {
        "autofs",   "binfmt_misc", "bpf",        "cgroup",      "cgroup2",
        "configfs", "debugfs",     "devpts",     "devtmpfs",    "efivarfs",
        "fusectl",  "hugetlbfs",   "mqueue",     "nsfs",        "proc",
        "pstore",   "ramfs",       "rpc_pipefs", "securityfs",  "squashfs",
        "sysfs",    "tracefs",     "nfsd",       "fuse.portal", "fuse.gvfsd-fuse"};
    return pseudo.contains(type);
}

bool isBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

// Mounts of the system's own trees; removable media mounted by the desktop below /run/media
// are the user's.
bool isSystemMount(const QString& root) {
    if (isBelow(root, QStringLiteral("/run/media")))
        return false;
    for (const char* tree : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib"}) {
        if (isBelow(root, QLatin1String(tree)))
            return true;
    }
    return false;
}

QString cleaned(const QString& path) {
    return QDir::cleanPath(path);
}

} // namespace

QStringList mountedVolumes() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = cleaned(volume.rootPath());
        if (!volume.isValid() || root == u'/' || isSystemMount(root) ||
            isPseudoFileSystem(volume.fileSystemType()) || !volumeIsReady(root))
            continue;
        if (!roots.contains(root))
            roots.append(root);
    }
    std::sort(roots.begin(), roots.end());
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString volumeOf(const QString& path, const QStringList& volumes) {
    if (!path.startsWith(u'/'))
        return {};
    const QString target = cleaned(path);
    QString best;
    for (const QString& volume : volumes) {
        const QString root = cleaned(volume);
        const bool prefix = root == u'/' || isBelow(target, root);
        if (prefix && root.size() > best.size())
            best = root;
    }
    return best;
}

bool volumeIsReady(const QString& root) {
    const QByteArray name = QFile::encodeName(root);
    struct stat info {};
    // Bind mounts of single files (as containers make for /etc/hosts) are no volumes to browse.
    return ::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(name.constData(), R_OK | X_OK) == 0;
}

} // namespace mixgen

#include "platform/droppeditem.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

bool droppedItemCountsAsFolder(const QString& localPath) {
    const QByteArray name = QFile::encodeName(localPath);
    struct stat info {};
    if (name.isEmpty() || ::stat(name.constData(), &info) != 0)
        return false;
    if (S_ISDIR(info.st_mode))
        return true;
    if (!S_ISREG(info.st_mode) || QFileInfo(localPath).fileName().startsWith(u'.'))
        return false;
    // An ordinary file is ignored when it opens; one that cannot be opened is kept.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return true;
    ::close(fd);
    return false;
}

} // namespace mixgen

#include "platform/folderwrites.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

namespace mixgen {

FolderWrites::FolderWrites(const QString& folder) {
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    const QByteArray path = QFile::encodeName(folder);
    m_watch = ::inotify_add_watch(m_fd, path.constData(), IN_MODIFY | IN_ONLYDIR);
    if (m_watch < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderWrites::~FolderWrites() {
    stop();
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWrites::stop() {
    if (m_watch >= 0)
        ::inotify_rm_watch(m_fd, m_watch);
    m_watch = -1;
}

void FolderWrites::drain() {
    if (m_fd < 0)
        return;
    alignas(inotify_event) char events[4096];
    while (::read(m_fd, events, sizeof events) > 0) {
    }
}

} // namespace mixgen

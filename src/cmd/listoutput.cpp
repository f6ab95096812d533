#include "listoutput.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace mixgen::cmd {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

int openListFile(const std::string& path, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool ListOutput::flush() {
    if (m_fd < 0 || m_bytes.empty())
        return !m_failed;
    if (!m_failed && !writeAll(m_fd, m_bytes)) {
        m_failed = true;
        m_error = errno;
    }
    m_bytes.clear();
    return !m_failed;
}

bool ListOutput::writeTo(int fd) {
    if (!m_failed && !writeAll(fd, m_bytes)) {
        m_failed = true;
        m_error = errno;
    }
    m_bytes.clear();
    return !m_failed;
}

} // namespace mixgen::cmd

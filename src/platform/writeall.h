#pragma once

#include <QByteArrayView>

#include <cerrno>
#include <unistd.h>

namespace mixgen {

// Writes all of bytes to fd, going on after short writes and interruptions. False (errno set)
// when a write failed.
inline bool writeAll(int fd, QByteArrayView bytes) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

} // namespace mixgen

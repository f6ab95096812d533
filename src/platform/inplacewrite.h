#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace mixgen {

// Writes a file in place, for a file we may write in a folder we may not (no fresh file can be
// made beside it there). Its old bytes are kept first in a private folder of the run, inside
// the work folder, and put back when the write fails, when the program is ended by a signal,
// or (after a kill) by a later run. Two such writers of one file take turns (an exclusive
// flock on it).
class InPlaceWrite {
public:
    InPlaceWrite() = default;
    ~InPlaceWrite(); // puts the old bytes back unless finished
    InPlaceWrite(const InPlaceWrite&) = delete;
    InPlaceWrite& operator=(const InPlaceWrite&) = delete;

    // Opens target (which must still be the file described by old), keeps its bytes and
    // empties it. False with the reason in why(); the file is then untouched.
    bool begin(const QByteArray& target, const struct stat& old);
    // Where the new bytes go, from the start of the emptied file.
    int fd() const { return m_fd; }
    // Flushes the new bytes and lets the old ones go. False with the reason in why(); the old
    // bytes are then back.
    bool finish();
    // Puts the old bytes back and ends the write. The reason for it is kept in why(), with
    // where the old bytes stay when they could not be put back.
    void putBack(const QString& reason);

    const QString& why() const { return m_why; }

private:
    bool fail(const QString& reason);
    void close();

    int m_fd = -1;
    int m_backupFd = -1;
    QString m_runFolder;
    QString m_why;
};

} // namespace mixgen

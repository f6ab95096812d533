#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

struct stat;

namespace mixgen {

class InPlaceWrite;

// Replaces a user's file whole or not at all. The new content goes into a fresh file beside
// the target (made new, never through a link), which is renamed over the target once it is
// complete: a full disk or a crash leaves the old file as it was, and two writers of the same
// file never mix their lines. A link named as the target is followed, so the file it points
// at is replaced and the link stays, but only where the kernel's protected_symlinks would
// follow it: a link that another user made in a sticky folder open to everyone is refused.
// The old file's permissions (and, when we may, owner) are kept. A folder, pipe or device at
// the target is refused without being opened. A file we may write in a folder we may not (no
// fresh file can be made there) is written in place instead, its old content kept meanwhile
// and put back when the write fails (platform/inplacewrite.h).
class FileReplacement {
public:
    explicit FileReplacement(QString path);
    ~FileReplacement(); // removes the fresh file unless it was committed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Checks the target and makes the fresh file. False with the reason in why().
    bool begin();
    // Writes bytes into the fresh file, after what was written before, and has the disk start
    // on them. False with the reason in why(); the target is untouched and the commit fails.
    bool write(QByteArrayView bytes);
    // Writes bytes into the fresh file, flushes it to the disk and renames it over the
    // target. False with the reason in why(); the target is then untouched.
    bool commit(QByteArrayView bytes = {});

    const QString& why() const { return m_why; }

private:
    bool fail(const QString& reason);
    bool beginInPlace(const struct stat& old);

    QString m_path;
    QByteArray m_target; // the file that is really replaced
    QByteArray m_fresh;  // the fresh file beside it, while it exists
    int m_fd = -1;
    qint64 m_written = 0; // bytes written into the fresh file
    QString m_why;
    std::unique_ptr<InPlaceWrite> m_inPlace; // set when the file is written in place
};

} // namespace mixgen

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Safe sharing of the small store files (settings, registry tree) between instances.
namespace mixgen {

// One version of a store file: a file put in its place has another inode, one edited in place
// another size or time. Readers that keep a file parsed reuse the parse while it stays the same.
struct StoreFileVersion {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const StoreFileVersion&) const = default;
};

// The version of the regular file at path now (links followed), by one stat; nullopt when no
// regular file is there.
std::optional<StoreFileVersion> storeFileVersion(const QString& path);

// The file's whole content; empty when it is missing or cannot be read. Needs no lock:
// writers replace the file atomically, so a reader sees the old or the new file, never half.
QByteArray readStoreFile(const QString& path);
// The same with the version the content was read from; false when it was not read.
bool readStoreFile(const QString& path, QByteArray* content, StoreFileVersion* version);

// Read-modify-write under an exclusive lock: takes the lock (a companion lock file beside
// path), rereads the file, hands its content to edit, and when edit returns new content,
// writes it to a temporary file in the same folder, flushes it and renames it over path.
// Creates the folder when it is missing. Returns false, changing nothing, when any step
// fails (read-only folder, full disk, an existing file that cannot be read); edit returning
// nullopt means "no change" and is true.
bool updateStoreFile(const QString& path,
                     const std::function<std::optional<QByteArray>(const QByteArray&)>& edit);
// The same for a caller that keeps the file parsed: when the file found under the lock is
// still the version known, edit is handed nullopt instead of its content (the caller's parse
// holds it), so it is not read again. On success *after, when given, receives the version
// of the file as the update left it (nullopt: there is none).
bool updateStoreFile(
    const QString& path, const std::optional<StoreFileVersion>& known,
    const std::function<std::optional<QByteArray>(const std::optional<QByteArray>&)>& edit,
    std::optional<StoreFileVersion>* after = nullptr);

// Why the thing at path cannot serve as a store file (a folder, a pipe, a device, a file that
// cannot be read), or an empty text when it can (a readable regular file, or nothing there yet).
QString storeFileProblem(const QString& path);

// Why a store file that can be read is still not to be replaced: it is read-only (no write
// right for anyone, which root too respects here, or none for this user), or its folder may not
// be written. Empty when it may be replaced, or when there is no file yet.
QString storeFileWriteProblem(const QString& path);

// Whether updateStoreFile could replace path now: its folder exists and may be written, and
// the file, when it exists, may be read and written. Stands in for opening with write rights.
bool storeFileWritable(const QString& path);

// The companion lock file and the temporary file updateStoreFile uses beside path.
QString storeLockPath(const QString& path);
QString storeTempPath(const QString& path);

} // namespace mixgen

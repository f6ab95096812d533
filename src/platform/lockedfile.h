#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Safe sharing of the small store files (settings, registry tree) between instances.
namespace mixgen {

// The file's whole content; empty when it is missing or cannot be read. Needs no lock:
// writers replace the file atomically, so a reader sees the old or the new file, never half.
QByteArray readStoreFile(const QString& path);

// Read-modify-write under an exclusive lock: takes the lock (a companion lock file beside
// path), rereads the file, hands its content to edit, and when edit returns new content,
// writes it to a temporary file in the same folder, flushes it and renames it over path.
// Creates the folder when it is missing. Returns false, changing nothing, when any step
// fails (read-only folder, full disk, an existing file that cannot be read); edit returning
// nullopt means "no change" and is true.
bool updateStoreFile(const QString& path,
                     const std::function<std::optional<QByteArray>(const QByteArray&)>& edit);

// Why the thing at path cannot serve as a store file (a folder, a pipe, a device), or an
// empty text when it can (a regular file, or nothing there yet).
QString storeFileProblem(const QString& path);

// Whether updateStoreFile could replace path now: its folder exists and may be written, and
// the file, when it exists, may be read and written. Stands in for opening with write rights.
bool storeFileWritable(const QString& path);

// The companion lock file and the temporary file updateStoreFile uses beside path.
QString storeLockPath(const QString& path);
QString storeTempPath(const QString& path);

} // namespace mixgen

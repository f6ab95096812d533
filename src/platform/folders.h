#pragma once

#include <QString>

namespace mixgen {

// Appends "/" unless the text already ends with one. The one place that rule lives.
QString withTrailingSlash(const QString& path);

// Whether path names a folder (links followed). Names keep every byte (platform/nameencoding.h).
bool isFolderPath(const QString& path);

// The folder that holds the running executable, symlinks resolved, ending in "/".
QString programFolder();

// Where the batch file, the list file and the loader's marker live, ending in "/".
// "TEMP" when set and not empty; otherwise $XDG_RUNTIME_DIR when set; otherwise
// /tmp/mixgen-<uid>/, created with mode 0700. A private folder owned by another user (or
// open to others) is refused: the result is empty and *why says so.
QString workFolder(QString* why = nullptr);

// Without a session runtime folder, lends Qt a private one inside the work folder (so Qt makes
// nothing anywhere else) through $XDG_RUNTIME_DIR. The work folder stays what it was: the
// lent folder is never taken for the session's.
void lendRuntimeFolder();

// Makes sure path is a folder only this user can use: creates it with mode 0700 when it is
// missing; an existing one must be a real folder (not a symbolic link) owned by this user,
// and is closed to others when it is open to them. Returns path ending in "/", or an empty
// text with the reason in *why.
QString privateFolder(const QString& path, QString* why = nullptr);

// The user's own private folder in /tmp, /tmp/mixgen-<uid>/, made by privateFolder().
QString privateTmpFolder(QString* why = nullptr);

// A new folder of one run's own inside parent (which ends in "/"): made under a fresh name
// with mode 0700, so no other instance shares it and nothing planted in a shared parent is
// ever followed. Returns its path ending in "/", or an empty text with the reason in *why.
// The name carries this process's mark ("mixgen-<pid>.<start>-XXXXXX"): the folder goes if
// the program is ended by a signal, and the run folders this user's killed runs left in
// parent are removed first.
QString newRunFolder(const QString& parent, QString* why = nullptr);

// Removes a folder made by newRunFolder with the files in it.
void removeRunFolder(const QString& folder);

} // namespace mixgen

#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Test failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace mixgen {
class frmPlaylist;
}

namespace mixgen::test {

// Creates an empty file for each relative name below root.
void makeSongTree(const QString& root, const QStringList& names);

// Writes an executable shell script at path that records its arguments, one per line, in
// recordPath once it has run.
void writeRecorder(const QString& path, const QString& recordPath);

// The arguments a recorder wrote, once its file appears (empty after a long wait in vain).
QStringList waitForRecording(const QString& recordPath);

// Puts folder in front of PATH while it lives, so stand-ins there win over real programs.
class PathPrefix {
public:
    explicit PathPrefix(const QString& folder);
    ~PathPrefix();

private:
    QByteArray m_old;
};

// Waits (running events) until the playlist window's current or queued run has ended.
// False when it did not end in time.
bool waitForRun(frmPlaylist& playlist);

// The lines of a playlist file, without their CR LF ends; fails the test when a line does not
// end in CR LF.
QStringList playlistLines(const QString& path);

// Removes the user's settings file, so every test starts without settings.
void clearSettings();

// Files left in the work folder.
QStringList workFolderFiles();

} // namespace mixgen::test

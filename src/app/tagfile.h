#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The tag file "MIXGEN.TAG" beside the program: free text the main window shows in its tag
// label, one label line per comma-delimited item of the file.
namespace mixgen {

inline constexpr char kTagFileName[] = "MIXGEN.TAG";

// Reading stops after this many bytes and items: the label is a few words, and a huge or
// binary file in the program folder must neither stall start-up nor fill the window.
inline constexpr qsizetype kTagFileReadLimit = 64 * 1024;
inline constexpr qsizetype kTagItemLimit = 100;

// folder + "MIXGEN.TAG" ("/" put between when missing).
QString tagFilePath(const QString& folder);

// The items of a tag file's content: an item ends at a comma or at the end of a line, leading
// blanks are skipped, and an item in double quotes loses its quotes and may hold commas. An
// empty line is one empty item. At most kTagItemLimit items.
QStringList tagItems(const QByteArray& content);

// The label text for the tag file in folder: every item followed by CR LF. Empty when the
// file is missing, empty, not a regular file or cannot be read.
QString readTagLabel(const QString& folder);

// The three lines the program writes into a new tag file, each ended by CR LF.
QString defaultTagLabel();

// Writes the tag file with its three lines, replacing any content. False when that fails.
bool createTagFile(const QString& folder);

// The label for start-up: the file's items; when that leaves the label empty, the file is
// created with its three lines. When writing fails, the user is asked whether to retry; "No"
// leaves the label empty.
QString loadTagLabel(const QString& folder);

} // namespace mixgen

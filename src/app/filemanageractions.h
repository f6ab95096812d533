#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The per-user file-manager actions that make a folder context-menu entry appear on folders:
// a Dolphin service menu and a Nautilus script (and Caja and Nemo scripts where those file
// managers keep their folders). Each action starts the program once with every selected
// folder as "<program> --entry <menu text> <folder>...", each folder one argument of its own.
// Once the program is removed, the actions are hidden or end quietly.
namespace mixgen {

// The files that hold the actions of the entry with this menu text, in the order they are
// written: the Dolphin service menu, the Nautilus script, then Caja's and Nemo's scripts
// where their folders exist (all four when allPlaces is set, for removing).
QStringList fileManagerActionFiles(const QString& menuText, bool allPlaces = false);

// The Dolphin service menu for one entry, and the script for the file managers that run
// scripts. Neither ever hands a folder name to a shell as code.
QByteArray dolphinServiceMenu(const QString& program, const QString& menuText);
QByteArray folderScript(const QString& program, const QString& menuText);

// Writes every action of the entry (replacing earlier ones of ours). On a failure the actions
// of this entry written so far are removed again and the reason is in *why. A file of the
// user's own with an action's name is never replaced.
bool writeFileManagerActions(const QString& program, const QString& menuText,
                             QString* why = nullptr);

// The actions of the entry that this program made in another form than the one it writes now
// (an earlier version's, or for another program path). Missing actions and a user's own file
// are not listed.
QStringList outdatedFileManagerActions(const QString& program, const QString& menuText);
// Rewrites those in the current form. False with the reason in *why when one could not be.
bool updateFileManagerActions(const QString& program, const QString& menuText,
                              QString* why = nullptr);

// Removes every action of the entry that this program made; a user's own file of that name
// stays. False with the reason in *why when one could not be removed.
bool removeFileManagerActions(const QString& menuText, QString* why = nullptr);

} // namespace mixgen

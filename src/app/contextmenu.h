#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The folder context-menu entries: three commands for folders, kept as keys of the registry
// tree (the truth) with the file managers' actions beside them. Each holds a whole request on
// its command line; the silent mode and the number of songs live only there.
namespace mixgen {

inline constexpr int kEntryCount = 3;

// "Random Playlist", "Play Random Playlist", "Enqueue Random Playlist", always in this order.
QString entryMenuText(int entry);
// "Folder\shell\<menu text>" and "Folder\shell\<menu text>\command".
QString entryKeyPath(int entry);
QString entryCommandKeyPath(int entry);
// The index of the entry with this menu text, or -1.
int entryIndex(const QString& menuText);

// The number of songs the entries carry: the leading numeric value of the number box as its
// shortest decimal text, or "1000" when that is below 1.
QString entryNumberText(const QString& numberBox);

// The command line of one entry: the program path, " /P:%1 /O:", the work folder (ending in
// "/"), "MIXGEN.M3U /N:", the number, " /S" when silent, and the entry's own switches.
QString entryCommandLine(int entry, const QString& program, const QString& workFolder,
                         const QString& number, bool silent);

// The program path the entries name: the running executable's real path.
QString entryProgramPath();

// What the options window shows of the entries.
struct EntryOptions {
    std::array<bool, kEntryCount> present{};
    bool silent = false;
    QString number = QStringLiteral("1000");
};

// Reads the three command lines: a box for every entry that has one, silent mode and the
// number from the last of them in table order.
EntryOptions LoadEntries();

// The number box's text from an entry's command line: what follows the first "/N:" up to the
// blank before the next "/" (to the end when none follows), "1000" without a "/N:", empty
// when "/N:" is directly followed by "/".
QString numberFromCommand(const QString& command);

// Writes every wanted entry (with its file-manager actions) and removes every other one. An
// entry is written whole or left out whole: no command key without its entry key, no action
// without its entry, no entry of ours without its actions. Returns what could not be done,
// in words; empty when everything was done.
QStringList ApplyEntries(const std::array<bool, kEntryCount>& wanted, const QString& number,
                         bool silent, const QString& program = entryProgramPath());

// Writes the entries that exist again, as they are, so that their command lines carry the
// stored playlist style (which ApplyEntries puts at their end). Returns what could not be done.
QStringList carryStyleInEntries();

// Rewrites the file-manager actions of every entry that an earlier version wrote in another
// form, for the program the entry's command line names (which may be another copy). Run at
// start-up; reads only the entries and their actions when none is outdated.
void updateOutdatedEntryActions();

// "--entry <menu text> <folder>...": the command line of that entry with the folders, joined
// by ";", in place of "%1", as the program runs it for a file manager's action. One folder that
// is missing or that the command line cannot carry refuses the whole run.
struct EntryRun {
    bool isEntryRun = false; // the arguments asked for an entry
    QString commandLine;     // the request to run
    QString error;           // or why it cannot run
};
EntryRun resolveEntryRun(const QStringList& arguments);

} // namespace mixgen

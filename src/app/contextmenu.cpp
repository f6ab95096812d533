#include "app/contextmenu.h"

#include "app/commandline.h"
#include "app/filemanageractions.h"
#include "app/stylechoices.h"
#include "core/numbertext.h"
#include "core/registry.h"
#include "platform/executablefile.h"
#include "platform/folders.h"
#include "platform/lockedfile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace mixgen {

namespace {

struct Entry {
    const char* menuText;
    const char* switches; // after the number (and " /S")
};

constexpr std::array<Entry, kEntryCount> kEntries = {{
    {"Random Playlist", " /Y /LOADER"},
    {"Play Random Playlist", " /A /Y /LOADER"},
    {"Enqueue Random Playlist", " /E /Y /LOADER"},
}};

// How long Apply waits for another instance that applies its entries at the same time.
constexpr int kEntryLockWaitMs = 10000;

// Keeps apart the instances that change the entries at the same time.
QString entryLockPath() {
    return registryFolder() + QStringLiteral("CONTEXTMENU.LOCK");
}

QString readCommand(int entry) {
    return ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry), QString()).toText();
}

// Where a switch counts in a command line: at its start or after a blank (Linux paths are full
// of "/"). The position of its "/", or -1.
qsizetype findSwitchAfterBlank(const QString& upper, const QString& name, qsizetype from = 0) {
    for (qsizetype i = upper.indexOf(name, from); i >= 0; i = upper.indexOf(name, i + 1)) {
        if (i == 0 || upper[i - 1] == u' ')
            return i;
    }
    return -1;
}

// Where the request starts in an entry's command line: after the program path, at the first
// switch that follows a blank. The program path itself is never run.
qsizetype requestStart(const QString& command) {
    const QString own = entryProgramPath() + u' ';
    if (!entryProgramPath().isEmpty() && command.startsWith(own))
        return own.size();
    const QString upper = command.toUpper();
    static const QStringList valueSwitches = {"/P:", "/O:", "/N:", "/?"};
    static const QStringList flagSwitches = {"/A", "/E", "/Y", "/S", "/LOADER"};
    for (qsizetype i = 1; i < command.size(); ++i) {
        if (command[i] != u'/' || command[i - 1] != u' ')
            continue;
        for (const QString& name : valueSwitches)
            if (upper.mid(i).startsWith(name))
                return i;
        for (const QString& name : flagSwitches)
            if (hasSwitch(command.mid(i), name) && upper.mid(i).startsWith(name))
                return i;
    }
    return -1;
}

// A folder name the request's command line cannot carry: ";" would split it into two
// folders, "?" asks for the help window, a blank before "/" starts a switch, and a line break
// cannot stand in the loader's list.
bool fitsOnCommandLine(const QString& folder) {
    return !folder.contains(u';') && !folder.contains(u'?') &&
           !folder.contains(QStringLiteral(" /")) && !folder.contains(u'\n') &&
           !folder.contains(u'\r');
}

// Writes one entry: its command key with the command line, then its actions. Anything that
// fails is taken back, so the entry is there whole or (when it was not there) not at all.
bool writeEntry(int entry, const QString& command, const QString& program, QString* why) {
    const QString before = readCommand(entry);
    CreateRegKey(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry));
    WriteRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry), QString(), command, REG_SZ);
    if (readCommand(entry) != command) {
        if (before.isEmpty())
            DeleteRegKey(HKEY_CLASSES_ROOT, entryKeyPath(entry));
        *why = QStringLiteral("The registry tree %1 cannot be written.")
                   .arg(registryFile(HKEY_CLASSES_ROOT));
        return false;
    }
    if (!writeFileManagerActions(program, entryMenuText(entry), why)) {
        DeleteRegKey(HKEY_CLASSES_ROOT, entryKeyPath(entry));
        return false;
    }
    return true;
}

// Removes one entry: its actions first, then its keys. When the keys stay, the actions come
// back, so an entry is never left without them.
bool removeEntry(int entry, const QString& program, QString* why) {
    // A tree that cannot be written may still hold the keys, which then stay.
    const bool keysMayStay = OpenRegKey(HKEY_CLASSES_ROOT, entryKeyPath(entry)).isOpen() ||
                             !storeFileWritable(registryFile(HKEY_CLASSES_ROOT));
    if (!removeFileManagerActions(entryMenuText(entry), why)) {
        if (keysMayStay)
            writeFileManagerActions(program, entryMenuText(entry));
        return false;
    }
    const long status = DeleteRegKey(HKEY_CLASSES_ROOT, entryKeyPath(entry));
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        // The keys are still there: so are their actions.
        writeFileManagerActions(program, entryMenuText(entry));
        *why = QStringLiteral("The registry tree %1 cannot be written.")
                   .arg(registryFile(HKEY_CLASSES_ROOT));
        return false;
    }
    return true;
}

} // namespace

QString entryMenuText(int entry) {
    return QString::fromLatin1(kEntries.at(std::size_t(entry)).menuText);
}

QString entryKeyPath(int entry) {
    return QStringLiteral("Folder\\shell\\") + entryMenuText(entry);
}

QString entryCommandKeyPath(int entry) {
    return entryKeyPath(entry) + QStringLiteral("\\command");
}

int entryIndex(const QString& menuText) {
    for (int entry = 0; entry < kEntryCount; ++entry)
        if (entryMenuText(entry) == menuText)
            return entry;
    return -1;
}

QString entryNumberText(const QString& numberBox) {
    const double value = leadingNumericValue(numberBox);
    return value < 1 ? QStringLiteral("1000") : numberToText(value);
}

QString entryCommandLine(int entry, const QString& program, const QString& workFolder,
                         const QString& number, bool silent) {
    return program + QStringLiteral(" /P:%1 /O:") + withTrailingSlash(workFolder) +
           QStringLiteral("MIXGEN.M3U /N:") + number +
           (silent ? QStringLiteral(" /S") : QString()) +
           QString::fromLatin1(kEntries.at(std::size_t(entry)).switches);
}

QString entryProgramPath() {
    const QString path = QCoreApplication::applicationFilePath();
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real;
}

QString numberFromCommand(const QString& command) {
    const QString upper = command.toUpper();
    const qsizetype slash = findSwitchAfterBlank(upper, QStringLiteral("/N:"));
    if (slash < 0)
        return QStringLiteral("1000");
    const qsizetype p = slash + 1; // 1-based position of the "/"
    const qsizetype h = upper.mid(p).indexOf(u'/') + 1;
    const qsizetype length = h >= 1 ? h - 4 : upper.size() - p;
    if (length < 0)
        return QString(); // "/N:" directly followed by "/"
    return upper.mid(p + 2, length);
}

EntryOptions LoadEntries() {
    EntryOptions options;
    QString current;
    for (int entry = 0; entry < kEntryCount; ++entry) {
        const QString command = readCommand(entry);
        options.present[std::size_t(entry)] = !command.isEmpty();
        if (!command.isEmpty())
            current = command;
    }
    current = current.toUpper();
    options.silent = hasSwitch(current, QStringLiteral("/S"));
    options.number = numberFromCommand(current);
    return options;
}

QStringList ApplyEntries(const std::array<bool, kEntryCount>& wanted, const QString& number,
                         bool silent, const QString& program) {
    QString why;
    const QString work = workFolder(&why);
    bool anyWanted = false;
    for (bool w : wanted)
        anyWanted = anyWanted || w;
    if (anyWanted && work.isEmpty())
        return {QStringLiteral("No work folder for the entries' playlist: %1").arg(why)};
    if (anyWanted && work.contains(u' '))
        return {QStringLiteral("The work folder %1 holds a blank, which the entries' command "
                               "lines cannot carry. Set TEMP to a folder without one.")
                    .arg(work)};

    // Two options windows applying at once must not mix one's keys with the other's actions.
    const ExclusiveLock lock(entryLockPath(), kEntryLockWaitMs);
    if (!lock.isLocked())
        return {QStringLiteral("The entries cannot be changed now: %1").arg(lock.why())};

    // The stored playlist style rides along at the end of every entry's command line.
    const QString style = styleSwitches(storedStyle());
    QStringList problems;
    for (int entry = 0; entry < kEntryCount; ++entry) {
        why.clear();
        const bool done =
            wanted[std::size_t(entry)]
                ? writeEntry(entry, entryCommandLine(entry, program, work, number, silent) + style,
                             program, &why)
                : removeEntry(entry, program, &why);
        if (!done)
            problems.append(QStringLiteral("\"%1\": %2").arg(entryMenuText(entry), why));
    }
    return problems;
}

void updateOutdatedEntryActions() {
    for (int entry = 0; entry < kEntryCount; ++entry) {
        const QString command = readCommand(entry);
        const qsizetype start = command.isEmpty() ? -1 : requestStart(command);
        if (start < 1)
            continue;
        const QString program = command.left(start - 1);
        if (outdatedFileManagerActions(program, entryMenuText(entry)).isEmpty())
            continue;
        // Another instance applying or updating the entries now does it for this one too.
        const ExclusiveLock lock(entryLockPath(), 0);
        if (!lock.isLocked())
            return;
        updateFileManagerActions(program, entryMenuText(entry));
    }
}

QStringList carryStyleInEntries() {
    const EntryOptions entries = LoadEntries();
    if (std::none_of(entries.present.begin(), entries.present.end(), [](bool p) { return p; }))
        return {};
    return ApplyEntries(entries.present, entries.number, entries.silent);
}

EntryRun resolveEntryRun(const QStringList& arguments) {
    EntryRun run;
    if (arguments.value(0) != QLatin1String("--entry"))
        return run;
    run.isEntryRun = true;
    if (arguments.size() < 3) {
        run.error = QStringLiteral("Usage: mixgen --entry <entry> <folder>...");
        return run;
    }
    const QString& menuText = arguments[1];
    const int entry = entryIndex(menuText);
    if (entry < 0) {
        run.error = QStringLiteral("There is no folder context-menu entry \"%1\".").arg(menuText);
        return run;
    }
    const QString command = readCommand(entry);
    if (command.isEmpty()) {
        run.error = QStringLiteral("The folder context-menu entry \"%1\" is not set. Check it "
                                   "in the Options window and press Apply.")
                        .arg(menuText);
        return run;
    }
    QStringList folders;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString folder = QFileInfo(arguments[i]).absoluteFilePath();
        if (!isFolderPath(folder)) {
            run.error = QStringLiteral("%1 is not a folder.").arg(folder);
            return run;
        }
        if (!fitsOnCommandLine(folder)) {
            run.error = QStringLiteral("The folder %1 cannot be searched from the context menu: "
                                       "its name holds \";\", \"?\", a line break or a blank "
                                       "before \"/\".")
                            .arg(folder);
            return run;
        }
        folders.append(folder);
    }
    const qsizetype start = requestStart(command);
    if (start < 0) {
        run.error = QStringLiteral("The folder context-menu entry \"%1\" holds no request: %2")
                        .arg(menuText, command);
        return run;
    }
    // Every folder in one start, as the path list joins them. One pass: a "%1" inside a
    // folder's own name stays as it is.
    run.commandLine =
        command.mid(start).replace(QStringLiteral("%1"), folders.join(QLatin1Char(';')));
    return run;
}

} // namespace mixgen

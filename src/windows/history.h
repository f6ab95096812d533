#pragma once

#include <QString>
#include <QStringList>

// The remembered search paths and output names behind the main window's drop-down lists. A
// history is one settings section whose keys "A" (newest) to "O" are listed; "P" keeps the
// entry pushed past "O". Names keep their case and are compared exactly.
namespace mixgen {

class SettingsStore;

inline constexpr int kHistoryListed = 15;

// The listed entries of section, newest first; missing and empty keys are skipped.
QStringList loadHistoryEntries(const SettingsStore& store, const QString& section);

// Records current as the newest entry: an earlier occurrence is taken out, the others move
// one key down, and every key from "A" to "P" is written.
void saveHistoryEntry(const SettingsStore& store, const QString& section, const QString& current);

} // namespace mixgen

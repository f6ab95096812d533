#pragma once

#include <QString>
#include <QStringList>

namespace mixgen {

class RandomSource;

// The overwrite question, before the search.
enum class OverwriteOutcome {
    GoOn,       // no file there, "/y", or the answer Yes
    BackToMain, // No (or Cancel outside a command-line run): hide, show the main window
    EndProgram, // Cancel in a command-line run
    BadName,    // "Bad file name." was shown: go on at the finish step
};
OverwriteOutcome askOverwrite(const QString& outputPath, bool yesSwitch, bool commandLineRun);

// The pick and the writing: creates or empties the playlist file, draws up to requested songs
// from found (removing each), appends "0001 <path>" entries to picked and writes each path as
// one CR LF line. A write failure shows its message and stops; what was picked so far stays.
// Returns the number of songs written.
int pickAndWrite(QStringList& found, QStringList& picked, int requested,
                 const QString& outputPath, RandomSource& random);

// Which hand-off follows a run with a result: "/e" before "/a" before the "Action" setting.
enum class HandOff { None, Enqueue, Open };
HandOff handOffFor(bool enqueueSwitch, bool openSwitch, const QString& actionSetting);

} // namespace mixgen

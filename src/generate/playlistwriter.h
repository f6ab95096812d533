#pragma once

#include "generate/foundsongs.h"
#include "generate/pickedsongs.h"

#include <QString>
#include <QStringList>

class QIODevice;

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

// Whether a regular file (not a folder) exists at path. A last part holding "*" or "?" is a
// pattern that any regular file of its folder may fit. *cannotTell is set when the path
// cannot even be tested (empty, too long, a folder on the way that may not be searched).
bool normalFileExists(const QString& path, bool* cannotTell = nullptr);

// The pick and the writing: draws up to requested songs from found (removing each), keeps
// them in picked (cleared first) and writes each path as one CR LF line of the playlist,
// which replaces the file at outputPath whole (an empty playlist too) or not at all. When the
// file cannot be made, nothing is picked; a failure shows its message with the reason.
// Returns the number of songs picked; *writeFailed tells whether the failure message came.
int pickAndWrite(FoundSongs& found, PickedSongs& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed = nullptr);
// The same with the numbered entries ("0001 <path>") appended to a plain list.
int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed = nullptr);

// The pick alone, in memory: picked (cleared first) holds the songs taken, in pick order.
int pickAndWrite(FoundSongs& found, PickedSongs& picked, int requested, RandomSource& random);

// The same into an open device, one write a line; a song is taken only once its line was
// written. outputPath only names the playlist in the failure message.
int pickAndWrite(FoundSongs& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random);

// Both from and back into a plain list (tests, tools).
int pickAndWrite(QStringList& found, QStringList& picked, int requested, const QString& outputPath,
                 RandomSource& random, bool* writeFailed = nullptr);
int pickAndWrite(QStringList& found, QStringList& picked, int requested, QIODevice& sink,
                 const QString& outputPath, RandomSource& random);

// The index of r within a list of count entries: the whole part of r times count, kept inside
// the list whatever the generator hands out.
qsizetype pickIndex(double r, qsizetype count);
// One pick's draw: the re-seed from the time of day, then the position in the store of the
// song at the next value's index among the songs left (the song is not taken).
qsizetype drawStoredPosition(const FoundSongs& found, RandomSource& random);

// The number of songs asked for in the number box: its leading numeric value, rounded to the
// nearest integer with a half going to the even neighbour.
int requestedSongCount(const QString& numberText);

// Which hand-off follows a run with a result: "/e" before "/a" before the "Action" setting.
enum class HandOff { None, Enqueue, Open };
HandOff handOffFor(bool enqueueSwitch, bool openSwitch, const QString& actionSetting);

} // namespace mixgen

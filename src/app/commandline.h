#pragma once

#include <QString>
#include <QStringList>

namespace mixgen {

// The program's arguments joined with single blanks: the one text the switches are found in.
QString joinCommandLine(const QStringList& arguments);

// True when the switch (for example "/Y", "/LOADER") stands in the command line, any case,
// where its "/" starts the text or follows a blank and, for a flag switch, is followed by a
// blank, the end or another "/".
bool hasSwitch(const QString& commandLine, const QString& flagSwitch);

// The value of "/P:", "/O:" or "/N:" (any case), cut from the original text so names keep
// their case; empty when the switch is absent. "/P:" runs up to the next switch, less the
// blank in front of it, and may hold blanks; "/O:", "/N:" and "/T:" end at the first blank. The
// loader cuts its folder with this too.
QString switchValue(const QString& commandLine, const QString& valueSwitch);

// A command line taken apart into the values start-up acts on.
struct CommandLine {
    QString text;        // the whole command line as given
    bool empty = true;   // nothing given (or only blanks): the interactive start
    bool help = false;   // "?" anywhere: the help path
    bool loader = false; // "/LOADER"
    bool hasPath = false;
    QString path;   // "/P:" value, cut from the original text
    QString output; // completed output file name
    QString number; // the number of songs as text ("1000" when not above 0)
};
CommandLine parseCommandLine(const QString& commandLine);

// The output file a request writes: "MIXGEN" when the value is empty; a name without a
// leading "/" goes into pathValue (or gets a leading "/" when pathValue is empty); ".M3U" is
// appended unless the name already ends in ".m3u" or ".m3u8", any case.
QString completeOutputName(const QString& outputValue, const QString& pathValue);

// Every playlist is written in UTF-8, which the ending ".m3u8" (any case) promises: a name
// that has it keeps it where ".M3U" would be appended.
bool hasM3u8Ending(const QString& name);

// The number of songs from a "/N:" value: its leading number written back as text, or
// "1000" when that is not above 0.
QString numberOfSongsText(const QString& numberValue);

} // namespace mixgen

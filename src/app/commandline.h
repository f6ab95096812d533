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

// A command line taken apart into the values start-up acts on.
struct CommandLine {
    QString text;        // the whole command line as given
    bool empty = true;   // nothing given: the interactive start
    bool help = false;   // "?" anywhere: the help path
    bool loader = false; // "/LOADER"
    bool hasPath = false;
    QString path;   // "/P:" value, cut from the original text
    QString output; // completed output file name
    QString number; // the number of songs as text ("1000" when not above 0)
};
CommandLine parseCommandLine(const QString& commandLine);

} // namespace mixgen

#pragma once

#include <QString>
#include <QStringList>

namespace mixgen {

// The help window's text: the command-line switches, one per line with every description
// starting in column 28, then a distribution notice. Lines joined by CR LF, none after the
// last line.
QString commandLineHelpText();

// What "--help" prints: how to call the program, every switch, and the two terminal options.
QString usageText();

// What "--version" prints: "MP3 Tunepicker v2.2.3".
QString versionLine();

// The text "--help" (or "-h") or "--version" asks for when one of them is an argument of its
// own (the first of them wins); empty when none is given.
QString terminalInfoText(const QStringList& arguments);

// What the program says on the terminal before any window exists, and how it then ends.
struct TerminalAnswer {
    QString text;         // empty: nothing to say, the program goes on
    bool onError = false; // standard error rather than standard output
    int status = 0;
};

// The answer to the arguments before any window exists: the "--help", "-h" or "--version"
// text (status 0); one line naming an unknown option (status 2); or, without a display and
// without a request, how to make a playlist without one (status 2). Options stand before the
// request: an argument starting with "-" after it belongs to the request's values, and an
// argument holding "?" is the help request of the switches. A named entry's run ("--entry"
// first) is not answered here.
TerminalAnswer answerBeforeWindows(const QStringList& arguments, bool withoutDisplay);

// Prints text on standard output (or standard error) with the terminal's line ends (CR LF
// becomes LF), ending with a line end, and flushes it.
void printOnTerminal(const QString& text, bool onError = false);

} // namespace mixgen

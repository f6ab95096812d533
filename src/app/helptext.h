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

// The text "--help" or "--version" asks for when one of them is an argument of its own (the
// first of them wins); empty when neither is given.
QString terminalInfoText(const QStringList& arguments);

// Prints text on standard output with the terminal's line ends (CR LF becomes LF), ending
// with a line end, and flushes it.
void printOnTerminal(const QString& text);

} // namespace mixgen

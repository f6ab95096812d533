#pragma once

#include "generate/playliststyle.h"

#include <QString>

namespace mixgen {

// The playlist style a request runs with, and where it is kept: the choices of the "Playlist
// style" window in a settings section of their own, and the switches "/T:minutes", "/B", "/X"
// and "/R" on a command line.

// The most minutes a length target may ask for.
inline constexpr int kMaxTargetMinutes = 6000;

// The minutes of a length target written as text: its leading number, rounded; 0 (none) when
// that is below 1, and at most 6000.
int targetMinutes(const QString& text);

// The stored choices (all off when nothing is stored).
PlaylistStyle storedStyle();
void saveStyle(const PlaylistStyle& style);

// The stored choices, each replaced by what the request's own switches say: "/T:" sets the
// length target ("/T:0" switches a stored one off), "/B", "/X" and "/R" switch their choice on.
PlaylistStyle requestStyle(const QString& commandLine, const PlaylistStyle& stored);

// The switches that carry a style on a command line, each after a blank (" /T:60 /B /X /R");
// empty when the style asks for nothing.
QString styleSwitches(const PlaylistStyle& style);

} // namespace mixgen

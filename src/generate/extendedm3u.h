#pragma once

#include "generate/songtags.h"

#include <QByteArray>
#include <QByteArrayView>

namespace mixgen {

// The first line of an extended playlist.
inline constexpr char kExtendedHeader[] = "#EXTM3U\r\n";

// The line a player reads before a song's path: "#EXTINF:<whole seconds>,<artist> - <title>"
// with its CR LF. The length is -1 when unknown; without a title the file name without its
// extension stands in, and without an artist only the title is written. Texts are cut to a
// sane length, and every line break or other control character in them becomes a blank, so
// a tag can never start a line of its own.
QByteArray extinfLine(const SongTags& tags, QByteArrayView utf8Path);

// The longest artist or title written, in characters.
inline constexpr qsizetype kMaxTagText = 500;

} // namespace mixgen

#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>

namespace mixgen {

// The song search's own translation of list-file bytes, code page 437 to the ANSI code page
// (Latin-1 here). Bytes below 128 map to themselves; of the bytes from 128 to 255 only the 40
// of the table have a translation. Returns QChar() (null) for an unsupported byte.
QChar oemToAnsi(unsigned char byte);

// Code page 437 as a whole: the Unicode character each of its 256 bytes shows.
char32_t cp437ToUnicode(unsigned char byte);

// Bytes in code page 437 as the text they show.
QString textFromCp437(QByteArrayView bytes);

// The reverse: the code page 437 byte for a Unicode character, 254 for one it lacks.
unsigned char unicodeToCp437(char32_t character);

} // namespace mixgen

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names are bytes, normally UTF-8; a name may hold bytes that are not. Qt's own decoding
// turns each such byte into U+FFFD, so the name can no longer be found. These two keep every
// name whole: valid UTF-8 reads as usual, and each byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC80 + byte, which encoding turns back into that byte.
namespace mixgen {

QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(const QString& name);

} // namespace mixgen

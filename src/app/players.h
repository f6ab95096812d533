#pragma once

#include <QString>
#include <QStringList>

namespace mixgen {

// The argument vector that plays a playlist in the player: the player and the path.
QStringList playCommand(const QString& player, const QString& playlist);

// The argument vector that enqueues a playlist in the player. Players whose own switch is
// known, matched by the executable's file name, get it (audacious -e, vlc --one-instance
// --playlist-enqueue, ...); any other player gets "/ADD" and the path.
QStringList enqueueCommand(const QString& player, const QString& playlist);

} // namespace mixgen

#pragma once

#include "generate/foundsongs.h"
#include "generate/pickedsongs.h"
#include "generate/playliststyle.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace mixgen {

class RandomSource;

// What a styled pick made.
struct StyledPickResult {
    int count = 0;           // songs in the playlist
    qint64 totalSeconds = 0; // their length as counted (unknown songs count 3 minutes);
                             // known only when tags were read
    bool lengthKnown = false;
};

// The pick and the writing with a playlist style (see PlaylistStyle): the songs are drawn as
// the style says (a folder first with balance; until the length is reached with a length
// target, which "requested" still caps), and their tags (and relative paths) are read on
// helper threads while the draws go on. picked (cleared first) holds the songs' full paths;
// the playlist file, which replaces the file at outputPath whole or not at all, holds the
// lines the style asks for. A failure shows the same message as the plain pick.
StyledPickResult pickAndWriteStyled(FoundSongs& found, PickedSongs& picked, int requested,
                                    const QString& outputPath, RandomSource& random,
                                    const PlaylistStyle& style, bool* writeFailed = nullptr);

// The same in memory: the playlist's bytes are handed to out in pieces; playlistPath only
// says where relative paths start from.
StyledPickResult pickStyled(FoundSongs& found, PickedSongs& picked, int requested,
                            RandomSource& random, const PlaylistStyle& style,
                            const QString& playlistPath,
                            const std::function<void(QByteArrayView)>& out);

} // namespace mixgen

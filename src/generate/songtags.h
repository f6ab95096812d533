#pragma once

#include <QByteArrayView>
#include <QString>

namespace mixgen {

// What a player shows of a song: its length and its artist and title, from its tags and its
// audio stream. Unknown parts stay empty, an unknown length is -1.
struct SongTags {
    int seconds = -1;
    QString artist;
    QString title;
};

// Reads a song's tags through TagLib. Only an ordinary file is opened (never a pipe or a
// device, which could block), and at most a fixed number of bytes are read from it, so a
// broken or hostile file costs a bounded time. A file that cannot be read gives empty tags.
SongTags readSongTags(QByteArrayView utf8Path);

// The most bytes of tags read from one file: a tag larger than this is not read whole. (The
// searches for frames and tags in between have a smaller budget of their own.)
inline constexpr long kTagReadBudget = 32L << 20;

} // namespace mixgen

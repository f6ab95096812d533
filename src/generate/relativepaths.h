#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/types.h>

namespace mixgen {

// Writes songs' paths relative to a playlist's folder, so that the playlist keeps working when
// it is copied together with the music. The folder is taken with its links resolved: a "../"
// then goes where it goes on the disk, and what follows it descends from a real folder.
class RelativePaths {
public:
    explicit RelativePaths(const QString& playlistPath);

    // The song's path as the playlist holds it: relative, with "../" as needed, when the song
    // lies on the playlist's volume; otherwise (or when either cannot be looked at) as given.
    QByteArray pathFor(QByteArrayView utf8Song) const;

    // The same for a song known to lie on the playlist's volume or not.
    QByteArray pathFor(QByteArrayView utf8Song, bool sameVolume) const;

private:
    QByteArray m_folder; // the playlist's real folder, ending in "/"
    dev_t m_volume = 0;
    bool m_known = false;
};

} // namespace mixgen

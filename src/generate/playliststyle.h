#pragma once

namespace mixgen {

// How a playlist is made beyond drawing a number of songs: a length in minutes, a fair share
// for every folder, entries a player can show, paths relative to the playlist. All off by
// default; with all of them off a playlist is made exactly as without them.
struct PlaylistStyle {
    int minutes = 0;       // a length target (1 to 6000), 0 for none
    bool balance = false;  // draw a folder, then a song from it
    bool extended = false; // "#EXTM3U" and an "#EXTINF" line before every path
    bool relative = false; // paths relative to the playlist's folder where they can be

    bool any() const { return minutes > 0 || balance || extended || relative; }
    bool needsTags() const { return minutes > 0 || extended; }
    bool operator==(const PlaylistStyle&) const = default;
};

} // namespace mixgen

#pragma once

#include "generate/foundsongs.h"

#include <vector>

namespace mixgen {

class RandomSource;

// The fair draw: every folder that holds songs directly has the same chance to give the next
// song, however many it holds. A folder is drawn, then a song from it, without repeats; a
// folder that runs out drops out of the draw.
class BalancedDraw {
public:
    // Groups the songs left in found by their folder. found must not change meanwhile except
    // by taking the songs this draw hands out.
    explicit BalancedDraw(const FoundSongs& found);

    bool isEmpty() const { return m_folders.empty(); }
    qsizetype folderCount() const { return qsizetype(m_folders.size()); }
    // One pick (after the re-seed every pick gets): the position in the store of a song that
    // was not drawn before. The caller takes it from the found songs.
    qsizetype draw(RandomSource& random);

private:
    struct Folder {
        qsizetype begin; // its songs' first place in m_songs
        qsizetype left;  // how many of them are still there, from begin on
    };
    std::vector<qsizetype> m_songs; // stored positions, folder by folder
    std::vector<Folder> m_folders;  // the folders that still hold songs
};

} // namespace mixgen

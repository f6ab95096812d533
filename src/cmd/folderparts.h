#pragma once

#include "folderaccess.h"
#include "listoutput.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mixgen::cmd {

// A huge folder (hundreds of thousands of files in one) is read by several threads at once,
// each from its own place: on ext4, whose hashed folders hand out their entries in the order of
// their positions, the range of positions is cut into parts, each read, matched and sorted by
// one thread, and the sorted parts are merged.
struct FolderPart {
    std::int64_t from = 0;
    std::int64_t until = -1; // -1: to the end of the folder
    bool whole() const { return from == 0 && until < 0; }
};

// The parts to read a folder of the given file system in: count of them, from the biggest to
// the smallest, where the file system hands out entries by position, else the whole folder.
std::vector<FolderPart> folderParts(const FileSystemFacts& facts, unsigned count);

// False when no entry of the open folder lies in part (read from its own descriptor, which is
// moved): the first entry from part.from is then the first from part.until as well.
bool partHoldsEntries(int fd, const FolderPart& part);

// Merges sources, each in order, into one order by a tournament (a loser tree): each match
// keeps its loser, so that the next item costs one comparison a level, not one a source.
// hasItem[i]: source i has an item to begin with; less(a, b): source a's next item goes
// before source b's (ties, which one folder's names do not have, go to the earlier source);
// take(i): uses source i's next item and moves on, false when it has no more.
template <class Less, class Take>
void mergeByTournament(const std::vector<bool>& hasItem, Less less, Take take) {
    const auto before = [&](int a, int b) { // -1: a source without items, which goes last
        if (a < 0 || b < 0)
            return b < 0 && a >= 0;
        return less(std::size_t(a), std::size_t(b)) ||
               (a < b && !less(std::size_t(b), std::size_t(a)));
    };
    std::size_t leaves = 1;
    while (leaves < hasItem.size())
        leaves *= 2;
    std::vector<int> losers(leaves, -1); // by match, 1 to leaves - 1
    std::vector<int> winners(2 * leaves, -1);
    for (std::size_t i = 0; i < hasItem.size(); ++i)
        winners[leaves + i] = hasItem[i] ? int(i) : -1;
    for (std::size_t match = leaves - 1; match >= 1; --match) {
        const int left = winners[2 * match];
        const int right = winners[2 * match + 1];
        const bool leftWins = before(left, right);
        winners[match] = leftWins ? left : right;
        losers[match] = leftWins ? right : left;
    }
    for (int winner = winners[1]; winner >= 0;) {
        int next = take(std::size_t(winner)) ? winner : -1;
        for (std::size_t match = (leaves + std::size_t(winner)) / 2; match >= 1; match /= 2)
            if (before(losers[match], next))
                std::swap(losers[match], next);
        winner = next;
    }
}

// Appends to out the lines of sorted, each a list of lines "prefix name\r\n" in the order of
// the names (given as the blocks it lies in, no line cut between two), merged into that order.
void mergeSortedLines(const std::vector<std::vector<std::string_view>>& sorted,
                      std::size_t prefixLength, ListOutput& out);

} // namespace mixgen::cmd

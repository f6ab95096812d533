#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace mixgen {

// The positions 0 .. count-1 of a list from which entries are taken one by one.
// positionAt(k) answers which original position the k-th remaining entry has, exactly as a
// list that closes the gap after every removal would, but in O(log n) instead of moving every
// later entry up. The marks live in a bitmap (one bit per entry, so a million entries fit in
// the processor's cache); a Fenwick tree counts the entries left in each block of 1024.
class RemainingPositions {
public:
    explicit RemainingPositions(qsizetype count);

    qsizetype remaining() const { return m_remaining; }
    // The original position of the entry that stands at index (0-based, less than
    // remaining()) of what is left.
    qsizetype positionAt(qsizetype index) const;
    // Removes the entry at an original position that is still there.
    void take(qsizetype position);
    // Both at once: removes the entry at index of what is left, returns its position.
    qsizetype takeAt(qsizetype index);
    bool isTaken(qsizetype position) const;

private:
    static constexpr qsizetype kWordsPerBlock = 4;
    static constexpr qsizetype kBlockSize = kWordsPerBlock * 64;

    std::vector<std::uint64_t> m_present;  // bit set: the entry is still there
    std::vector<std::int32_t> m_blockTree; // 1-based Fenwick tree over the blocks' counts
    qsizetype m_remaining;
    qsizetype m_topStep; // the number of blocks that the tree spans: a power of two
};

} // namespace mixgen

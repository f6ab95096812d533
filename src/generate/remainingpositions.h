#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace mixgen {

// The positions 0 .. count-1 of a list from which entries are taken one by one.
// positionAt(k) answers which original position the k-th remaining entry has, exactly as a
// list that closes the gap after every removal would, but in O(log n) instead of moving every
// later entry up. The marks live in a bitmap (one bit per entry, so a million entries fit in
// the processor's cache). Above it, a tree of nodes of sixteen running counts, one cache line
// each: a node tells how many entries are left in its first one, two, ... sixteen children
// (64-entry words at the bottom, nodes above), so a lookup reads one line per level, four
// for a million entries, and finds its way in each with a few vector compares.
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
    static constexpr std::size_t kFanOut = 16;

    // A node: the running counts of its children, the last one repeated past them.
    struct alignas(64) Node {
        std::int32_t upTo[kFanOut];
    };

    std::vector<std::uint64_t> m_present; // bit set: the entry is still there
    std::vector<Node> m_nodes;            // level by level from the bottom; the top has one
    std::vector<std::size_t> m_levelStart; // where each level's nodes begin in m_nodes
    qsizetype m_remaining;
};

} // namespace mixgen

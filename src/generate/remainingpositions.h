#pragma once

#include <QtGlobal>

#include <vector>

namespace mixgen {

// The positions 0 .. count-1 of a list from which entries are taken one by one, kept as a
// Fenwick tree of "still there" marks. positionAt(k) answers which original position the k-th
// remaining entry has, exactly as a list that closes the gap after every removal would, but in
// O(log n) instead of moving every later entry up.
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
    bool isTaken(qsizetype position) const { return m_taken[std::size_t(position)] != 0; }

private:
    std::vector<qsizetype> m_tree; // 1-based Fenwick tree of counts
    std::vector<char> m_taken;
    qsizetype m_remaining;
    qsizetype m_topStep; // the largest power of two not above the count
};

} // namespace mixgen

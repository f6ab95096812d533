#include "generate/remainingpositions.h"

namespace mixgen {

RemainingPositions::RemainingPositions(qsizetype count)
    : m_tree(std::size_t(count) + 1), m_taken(std::size_t(count)), m_remaining(count),
      m_topStep(1) {
    // Every entry is there: node i covers the (i & -i) positions that end at i.
    for (qsizetype i = 1; i <= count; ++i)
        m_tree[std::size_t(i)] = i & -i;
    while (m_topStep * 2 <= count)
        m_topStep *= 2;
}

qsizetype RemainingPositions::positionAt(qsizetype index) const {
    // Descend from the top: skip every block holding no more than the entries still to pass.
    const auto count = qsizetype(m_taken.size());
    qsizetype node = 0;
    qsizetype toPass = index;
    for (qsizetype step = m_topStep; step > 0; step /= 2) {
        const qsizetype next = node + step;
        if (next <= count && m_tree[std::size_t(next)] <= toPass) {
            node = next;
            toPass -= m_tree[std::size_t(next)];
        }
    }
    return node; // the wanted entry is node + 1 of the 1-based tree
}

void RemainingPositions::take(qsizetype position) {
    if (isTaken(position))
        return;
    const auto count = qsizetype(m_taken.size());
    for (qsizetype i = position + 1; i <= count; i += i & -i)
        --m_tree[std::size_t(i)];
    m_taken[std::size_t(position)] = 1;
    --m_remaining;
}

qsizetype RemainingPositions::takeAt(qsizetype index) {
    const qsizetype position = positionAt(index);
    take(position);
    return position;
}

} // namespace mixgen

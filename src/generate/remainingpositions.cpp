#include "generate/remainingpositions.h"

#include <bit>

namespace mixgen {

namespace {

// The position of the n-th (0-based) set bit of word, which has more than n set bits: halve
// the word again and again, keeping the half that holds it.
int nthSetBit(std::uint64_t word, int n) {
    int position = 0;
    for (int width = 32; width >= 1; width /= 2) {
        const std::uint64_t low = word & ((std::uint64_t(1) << width) - 1);
        const int lowCount = std::popcount(low);
        if (n >= lowCount) {
            n -= lowCount;
            word >>= width;
            position += width;
        } else {
            word = low;
        }
    }
    return position;
}

} // namespace

RemainingPositions::RemainingPositions(qsizetype count) : m_remaining(count), m_topStep(1) {
    const qsizetype words = (count + 63) / 64;
    m_present.assign(std::size_t(words), ~std::uint64_t(0));
    if (count % 64 != 0)
        m_present.back() = (std::uint64_t(1) << (count % 64)) - 1;

    const qsizetype blocks = (words + kWordsPerBlock - 1) / kWordsPerBlock;
    m_blockTree.assign(std::size_t(blocks) + 1, 0);
    for (qsizetype block = 0; block < blocks; ++block) {
        const qsizetype first = block * kBlockSize;
        m_blockTree[std::size_t(block) + 1] =
            std::int32_t(qMin<qsizetype>(kBlockSize, count - first));
    }
    // Turn the plain counts into the tree in one sweep: each node hands its sum to its parent.
    for (qsizetype i = 1; i <= blocks; ++i) {
        const qsizetype parent = i + (i & -i);
        if (parent <= blocks)
            m_blockTree[std::size_t(parent)] += m_blockTree[std::size_t(i)];
    }
    while (m_topStep * 2 <= blocks)
        m_topStep *= 2;
}

qsizetype RemainingPositions::positionAt(qsizetype index) const {
    // Descend the tree: skip every run of blocks holding no more than the entries to pass.
    const auto blocks = qsizetype(m_blockTree.size()) - 1;
    qsizetype node = 0;
    qsizetype toPass = index;
    for (qsizetype step = m_topStep; step > 0; step /= 2) {
        const qsizetype next = node + step;
        if (next <= blocks && m_blockTree[std::size_t(next)] <= toPass) {
            node = next;
            toPass -= m_blockTree[std::size_t(next)];
        }
    }
    // node is now the 0-based index of the block that holds the entry.
    qsizetype word = node * kWordsPerBlock;
    for (;; ++word) {
        const int inWord = std::popcount(m_present[std::size_t(word)]);
        if (toPass < inWord)
            break;
        toPass -= inWord;
    }
    return word * 64 + nthSetBit(m_present[std::size_t(word)], int(toPass));
}

void RemainingPositions::take(qsizetype position) {
    if (isTaken(position))
        return;
    m_present[std::size_t(position / 64)] &= ~(std::uint64_t(1) << (position % 64));
    const auto blocks = qsizetype(m_blockTree.size()) - 1;
    for (qsizetype i = position / kBlockSize + 1; i <= blocks; i += i & -i)
        --m_blockTree[std::size_t(i)];
    --m_remaining;
}

qsizetype RemainingPositions::takeAt(qsizetype index) {
    const qsizetype position = positionAt(index);
    take(position);
    return position;
}

bool RemainingPositions::isTaken(qsizetype position) const {
    return (m_present[std::size_t(position / 64)] >> (position % 64) & 1) == 0;
}

} // namespace mixgen

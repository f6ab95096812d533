#include "generate/remainingpositions.h"

namespace mixgen {

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;

// The set bits of each byte of word, in that byte. Counted in a few steps of plain arithmetic:
// the default x86-64 target has no popcount instruction, and std::popcount becomes a call into
// the compiler's library there.
std::uint64_t bitsPerByte(std::uint64_t word) {
    word -= (word >> 1) & 0x5555555555555555ULL;
    word = (word & 0x3333333333333333ULL) + ((word >> 2) & 0x3333333333333333ULL);
    return (word + (word >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
}

int setBits(std::uint64_t word) {
    return int((bitsPerByte(word) * kEveryByte) >> 56);
}

// Where the n-th set bit of a byte lies, for every byte and n.
struct NthBitTable {
    std::uint8_t at[256][8] = {};
    constexpr NthBitTable() {
        for (int byte = 0; byte < 256; ++byte) {
            int n = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (byte >> bit & 1)
                    at[byte][n++] = std::uint8_t(bit);
        }
    }
};
constexpr NthBitTable kNthBit;

// The position of the n-th (0-based) set bit of word, which has more than n set bits: the
// running counts of its bytes tell which byte holds it, a table where in that byte.
int nthSetBit(std::uint64_t word, int n) {
    // Byte k of running holds the set bits of bytes 0 to k (at most 64: no carry between them).
    const std::uint64_t running = bitsPerByte(word) * kEveryByte;
    // The bytes whose running count is still n or less come before the one that holds it.
    const std::uint64_t above =
        ((running | 0x8080808080808080ULL) - std::uint64_t(n + 1) * kEveryByte) &
        0x8080808080808080ULL;
    const int byte = 8 - int(((above >> 7) * kEveryByte) >> 56);
    const int before = byte == 0 ? 0 : int(running >> (8 * byte - 8) & 0xff);
    return 8 * byte + kNthBit.at[word >> (8 * byte) & 0xff][n - before];
}

} // namespace

RemainingPositions::RemainingPositions(qsizetype count) : m_remaining(count), m_topStep(1) {
    const qsizetype words = (count + 63) / 64;
    m_present.assign(std::size_t(words), ~std::uint64_t(0));
    if (count % 64 != 0)
        m_present.back() = (std::uint64_t(1) << (count % 64)) - 1;

    // The tree spans a power of two of blocks (those past the end hold nothing), so that its
    // descent needs no bounds check.
    const qsizetype blocks = (words + kWordsPerBlock - 1) / kWordsPerBlock;
    while (m_topStep < blocks)
        m_topStep *= 2;
    m_blockTree.assign(std::size_t(m_topStep) + 1, 0);
    for (qsizetype block = 0; block < blocks; ++block) {
        const qsizetype first = block * kBlockSize;
        m_blockTree[std::size_t(block) + 1] =
            std::int32_t(qMin<qsizetype>(kBlockSize, count - first));
    }
    // Turn the plain counts into the tree in one sweep: each node hands its sum to its parent.
    for (qsizetype i = 1; i <= m_topStep; ++i) {
        const qsizetype parent = i + (i & -i);
        if (parent <= m_topStep)
            m_blockTree[std::size_t(parent)] += m_blockTree[std::size_t(i)];
    }
}

qsizetype RemainingPositions::positionAt(qsizetype index) const {
    // Descend the tree: skip every run of blocks holding no more than the entries to pass.
    // Which way each step goes is as random as the pick, so it is chosen without a branch.
    const std::int32_t* tree = m_blockTree.data();
    std::size_t node = 0;
    auto toPass = std::int64_t(index);
    for (auto step = std::size_t(m_topStep); step > 0; step /= 2) {
        const std::int64_t count = tree[node + step];
        const std::int64_t skip = -std::int64_t(count <= toPass); // all ones when it skips
        node += step & std::size_t(skip);
        toPass -= count & skip;
    }
    // node is now the 0-based index of the block that holds the entry.
    std::size_t word = node * std::size_t(kWordsPerBlock);
    for (;; ++word) {
        const int inWord = setBits(m_present[word]);
        if (toPass < inWord)
            break;
        toPass -= inWord;
    }
    return qsizetype(word * 64) + nthSetBit(m_present[word], int(toPass));
}

void RemainingPositions::take(qsizetype position) {
    if (isTaken(position))
        return;
    const auto at = std::size_t(position);
    m_present[at / 64] &= ~(std::uint64_t(1) << (at % 64));
    const auto nodes = std::size_t(m_topStep);
    for (std::size_t i = at / std::size_t(kBlockSize) + 1; i <= nodes; i += i & (~i + 1))
        --m_blockTree[i];
    --m_remaining;
}

qsizetype RemainingPositions::takeAt(qsizetype index) {
    const qsizetype position = positionAt(index);
    take(position);
    return position;
}

bool RemainingPositions::isTaken(qsizetype position) const {
    const auto at = std::size_t(position);
    return (m_present[at / 64] >> (at % 64) & 1) == 0;
}

} // namespace mixgen

#include "generate/remainingpositions.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// How many of a node's children the entries to pass cover whole: the lanes whose running
// count is at most toPass. The counts only grow from lane to lane, so those lanes come first.
std::size_t childrenPassed(const std::int32_t* upTo, std::int32_t toPass) {
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi32(toPass);
    const auto* lanes = reinterpret_cast<const __m128i*>(upTo);
    // All ones in each lane that holds the entry or comes after it.
    const __m128i a = _mm_cmpgt_epi32(_mm_load_si128(lanes), limit);
    const __m128i b = _mm_cmpgt_epi32(_mm_load_si128(lanes + 1), limit);
    const __m128i c = _mm_cmpgt_epi32(_mm_load_si128(lanes + 2), limit);
    const __m128i d = _mm_cmpgt_epi32(_mm_load_si128(lanes + 3), limit);
    const int beyond =
        _mm_movemask_epi8(_mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
    // The last lane stands in when none is beyond (an index past the end): never past it.
    return std::size_t(__builtin_ctz(unsigned(beyond) | 0x8000u));
#else
    std::size_t passed = 0;
    while (passed < 15 && upTo[passed] <= toPass)
        ++passed;
    return passed;
#endif
}

// One entry fewer in the child at lane and so in the running counts from there on.
void dropFrom(std::int32_t* upTo, std::size_t lane) {
#if defined(__SSE2__)
    const __m128i before = _mm_set1_epi32(int(lane) - 1);
    auto* lanes = reinterpret_cast<__m128i*>(upTo);
    for (int quarter = 0; quarter < 4; ++quarter) {
        const __m128i index =
            _mm_setr_epi32(4 * quarter, 4 * quarter + 1, 4 * quarter + 2, 4 * quarter + 3);
        // Adds all ones, minus one, in the lanes from lane on.
        _mm_store_si128(lanes + quarter,
                        _mm_add_epi32(_mm_load_si128(lanes + quarter),
                                      _mm_cmpgt_epi32(index, before)));
    }
#else
    for (std::size_t at = lane; at < 16; ++at)
        --upTo[at];
#endif
}

// The way down from the top node to the word that holds the entry at index: in each node, the
// children whose entries are all passed are skipped. Returns the word and how many of its
// entries are still to pass. Taking, each node on the way counts one entry fewer in the child
// taken, changed while it is at hand rather than looked up again from below.
template <bool kTaking, typename Nodes>
std::pair<std::size_t, int> wayDown(Nodes& nodes, const std::vector<std::size_t>& levelStart,
                                    qsizetype index) {
    constexpr std::size_t fanOut = std::extent_v<decltype(Nodes::value_type::upTo)>;
    auto toPass = std::int32_t(index);
    std::size_t child = 0;
    for (std::size_t level = levelStart.size(); level-- > 0;) {
        auto* upTo = nodes[levelStart[level] + child].upTo;
        const std::size_t passed = childrenPassed(upTo, toPass);
        if (passed > 0)
            toPass -= upTo[passed - 1];
        if constexpr (kTaking)
            dropFrom(upTo, passed);
        child = child * fanOut + passed;
    }
    return {child, int(toPass)};
}

} // namespace

RemainingPositions::RemainingPositions(qsizetype count) : m_remaining(count) {
    const auto words = std::max<std::size_t>(1, std::size_t(count + 63) / 64);
    m_present.assign(words, ~std::uint64_t(0));
    if (count % 64 != 0 || count == 0)
        m_present.back() = (std::uint64_t(1) << (count % 64)) - 1;

    // Level by level from the words up, until one node holds them all.
    std::vector<std::int32_t> below(words);
    for (std::size_t word = 0; word < words; ++word)
        below[word] = setBits(m_present[word]);
    do {
        m_levelStart.push_back(m_nodes.size());
        std::vector<std::int32_t> totals((below.size() + kFanOut - 1) / kFanOut);
        for (std::size_t at = 0; at < totals.size(); ++at) {
            Node node{};
            std::int32_t running = 0;
            for (std::size_t lane = 0; lane < kFanOut; ++lane) {
                if (at * kFanOut + lane < below.size())
                    running += below[at * kFanOut + lane];
                node.upTo[lane] = running;
            }
            m_nodes.push_back(node);
            totals[at] = running;
        }
        below = std::move(totals);
    } while (below.size() > 1);
}

qsizetype RemainingPositions::positionAt(qsizetype index) const {
    const auto [word, toPass] = wayDown<false>(m_nodes, m_levelStart, index);
    return qsizetype(word * 64) + nthSetBit(m_present[word], toPass);
}

void RemainingPositions::take(qsizetype position) {
    if (isTaken(position))
        return;
    const auto at = std::size_t(position);
    m_present[at / 64] &= ~(std::uint64_t(1) << (at % 64));
    std::size_t child = at / 64;
    for (const std::size_t levelStart : m_levelStart) {
        dropFrom(m_nodes[levelStart + child / kFanOut].upTo, child % kFanOut);
        child /= kFanOut;
    }
    --m_remaining;
}

qsizetype RemainingPositions::takeAt(qsizetype index) {
    const auto [word, toPass] = wayDown<true>(m_nodes, m_levelStart, index);
    const int bit = nthSetBit(m_present[word], toPass);
    m_present[word] &= ~(std::uint64_t(1) << bit);
    --m_remaining;
    return qsizetype(word * 64) + bit;
}

bool RemainingPositions::isTaken(qsizetype position) const {
    const auto at = std::size_t(position);
    return (m_present[at / 64] >> (at % 64) & 1) == 0;
}

} // namespace mixgen

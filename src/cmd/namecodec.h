#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace mixgen::cmd {

// File names are bytes, normally UTF-8. A byte that is not part of a valid UTF-8 sequence is
// one character of its own, given a value outside Unicode so that it never equals a real one.
inline constexpr char32_t kInvalidByteBase = 0x110000;

// Decodes the character that starts at text[pos] and moves pos past it.
char32_t nextCharacter(std::string_view text, std::size_t& pos);

// The case-folded form of a character (ASCII by rule, the rest by Qt's Unicode data, taken
// into a table at build time);
// invalid bytes stay as they are.
char32_t foldCase(char32_t character);

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Eight ASCII bytes (none above 127) with their capitals made small, as foldAscii makes one.
inline std::uint64_t foldedAscii8(std::uint64_t bytes) {
    constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
    const std::uint64_t fromA = bytes + kEachByte * (0x80 - 'A');     // high bit: 'A' or past
    const std::uint64_t pastZ = bytes + kEachByte * (0x80 - 'Z' - 1); // high bit: past 'Z'
    const std::uint64_t capitals = fromA & ~pastZ & kHighBits;
    return bytes | capitals >> 2; // the high bit moved down to 0x20, the step from 'A' to 'a'
}

inline unsigned char foldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

// The order of names in a listing: case-insensitive, character by character; names equal but
// for case are ordered by their bytes, so the order is total and stable.
bool lessCaseInsensitive(std::string_view a, std::string_view b);

// A name's quick stand-in for that order: its first eight bytes, capitals made small, as one
// number that orders as they do; 0 (no key) when one of them is not ASCII. Two names whose
// keys are both set and differ are ordered by them; otherwise the names must be compared.
// Inline: asked twice of every name listed.
inline std::uint64_t orderKey(std::string_view name) {
    std::uint64_t word = 0;
    std::memcpy(&word, name.data(), name.size() < 8 ? name.size() : 8);
    if (word & kHighBits)
        return 0;
    // A name holds no NUL, so a shorter name's zeros put it before the longer ones it starts.
    const std::uint64_t folded = foldedAscii8(word);
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap64(folded);
    return folded;
}

// The keys of a name's first sixteen bytes: orderKey of the first eight, and of the eight
// after them (0 when the first are not all ASCII or there are no more). The second settles
// names that start alike, as the thousands of "Artist ..." folders of one library do,
// without their bytes being fetched from all over memory while they are sorted.
struct OrderKeys {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
};

inline OrderKeys orderKeys(std::string_view name) {
    OrderKeys keys{orderKey(name), 0};
    if (keys.first != 0 && name.size() > 8)
        keys.second = orderKey(name.substr(8));
    return keys;
}

// lessCaseInsensitive, settled by the keys when they can settle it. Equal first keys mean
// the same first eight letters, all ASCII (a name holds no NUL, so a shorter name's key
// never equals a longer one's): then the next eight decide as the names would.
inline bool lessByKeyOrName(const OrderKeys& keysA, std::string_view a, const OrderKeys& keysB,
                            std::string_view b) {
    if (keysA.first != keysB.first && keysA.first != 0 && keysB.first != 0)
        return keysA.first < keysB.first;
    if (keysA.first == keysB.first && keysA.first != 0 && keysA.second != keysB.second &&
        keysA.second != 0 && keysB.second != 0)
        return keysA.second < keysB.second;
    return lessCaseInsensitive(a, b);
}

// True when the name holds a line break and so cannot stand on one line of a list.
// Asked of every name listed, so eight bytes are looked at a time: a "\n" or "\r" becomes a
// zero byte under the exclusive or, and a word holds a zero byte exactly when
// (v - 0x01...) & ~v & 0x80... is not zero.
inline bool holdsLineBreak(std::string_view name) {
    constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
    const auto holdsZeroByte = [](std::uint64_t v) {
        return ((v - kEveryByte) & ~v & (kEveryByte << 7)) != 0;
    };
    std::size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        std::uint64_t v;
        std::memcpy(&v, name.data() + at, sizeof v);
        if (holdsZeroByte(v ^ (kEveryByte * '\n')) || holdsZeroByte(v ^ (kEveryByte * '\r')))
            return true;
    }
    for (; at < name.size(); ++at) {
        if (name[at] == '\n' || name[at] == '\r')
            return true;
    }
    return false;
}

} // namespace mixgen::cmd

#include "namecodec.h"

#include "platform/utf8.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace mixgen::cmd {

namespace {

// kFoldPageOf and kFoldDelta: for each page of 256 characters, the change each one's case
// folding makes, or page 0 where none changes.
#include "casefolding.inc"

} // namespace

char32_t nextCharacter(std::string_view text, std::size_t& pos) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t length = utf8CharacterLength(bytes, text.size(), pos);
    if (length == 0)
        return kInvalidByteBase + bytes[pos++];
    // The lead byte's own bits, then six from each continuation byte.
    char32_t value = length == 1 ? bytes[pos] : bytes[pos] & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        value = (value << 6) | (bytes[pos + i] & 0x3F);
    pos += length;
    return value;
}

char32_t foldCase(char32_t character) {
    if (character < 0x80)
        return foldAscii(static_cast<unsigned char>(character));
    if (character >= kInvalidByteBase)
        return character;
    const std::uint16_t page = kFoldPageOf[character >> 8];
    return page == 0 ? character
                     : char32_t(std::int32_t(character) + kFoldDelta[page][character & 0xFF]);
}

bool lessCaseInsensitive(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight plain bytes at a time while both names have them: the names of one folder
        // often share a long start ("Track 01", "Track 02").
        for (; i + 8 <= a.size() && i + 8 <= b.size(); i += 8) {
            std::uint64_t wordA;
            std::uint64_t wordB;
            std::memcpy(&wordA, a.data() + i, 8);
            std::memcpy(&wordB, b.data() + i, 8);
            if ((wordA | wordB) & kHighBits)
                break;
            const std::uint64_t foldedA = foldedAscii8(wordA);
            const std::uint64_t foldedB = foldedAscii8(wordB);
            if (foldedA != foldedB) { // the lowest byte is the first
                const int shift = std::countr_zero(foldedA ^ foldedB) / 8 * 8;
                return (foldedA >> shift & 0xFF) < (foldedB >> shift & 0xFF);
            }
        }
    }
    std::size_t j = i;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            const unsigned char fa = foldAscii(ca);
            const unsigned char fb = foldAscii(cb);
            if (fa != fb)
                return fa < fb;
            ++i;
            ++j;
            continue;
        }
        const char32_t fa = foldCase(nextCharacter(a, i));
        const char32_t fb = foldCase(nextCharacter(b, j));
        if (fa != fb)
            return fa < fb;
    }
    if (i < a.size() || j < b.size())
        return j < b.size(); // the one that ran out first is a prefix of the other
    const int bytes = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (bytes != 0)
        return bytes < 0;
    return a.size() < b.size();
}

} // namespace mixgen::cmd

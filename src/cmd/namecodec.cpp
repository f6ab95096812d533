#include "namecodec.h"

#include "platform/codepage.h"

#include <QChar>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace mixgen::cmd {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Eight ASCII bytes with their capitals made small, as foldAscii makes one.
std::uint64_t foldedAscii8(std::uint64_t bytes) {
    const std::uint64_t fromA = bytes + kEachByte * (0x80 - 'A');     // high bit: 'A' or past
    const std::uint64_t pastZ = bytes + kEachByte * (0x80 - 'Z' - 1); // high bit: past 'Z'
    const std::uint64_t capitals = fromA & ~pastZ & kHighBits;
    return bytes | capitals >> 2; // the high bit moved down to 0x20, the step from 'A' to 'a'
}

} // namespace

char32_t nextCharacter(std::string_view text, std::size_t& pos) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    unsigned char low = 0x80;  // the allowed range of the second byte (rules out overlong
    unsigned char high = 0xBF; // forms, surrogates and values past U+10FFFF)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    }
    if (length == 0 || pos + length > text.size() || at(pos + 1) < low || at(pos + 1) > high) {
        ++pos;
        return kInvalidByteBase + lead;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(at(pos + i))) {
            ++pos;
            return kInvalidByteBase + lead;
        }
        value = (value << 6) | (at(pos + i) & 0x3F);
    }
    pos += length;
    return value;
}

char32_t foldCase(char32_t character) {
    if (character < 0x80)
        return foldAscii(static_cast<unsigned char>(character));
    if (character >= kInvalidByteBase)
        return character;
    return QChar::toCaseFolded(character);
}

void appendAsCp437(std::string& out, std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // Runs of ASCII are copied as they stand: they are the same in both.
        std::size_t run = pos;
        while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80)
            ++run;
        out.append(utf8.data() + pos, run - pos);
        pos = run;
        if (pos == utf8.size())
            break;
        const char32_t character = nextCharacter(utf8, pos);
        out.push_back(
            static_cast<char>(character >= kInvalidByteBase ? 254 : unicodeToCp437(character)));
    }
}

void appendCp437AsUtf8(std::string& out, std::string_view cp437) {
    const QByteArray utf8 =
        textFromCp437(QByteArrayView(cp437.data(), qsizetype(cp437.size()))).toUtf8();
    out.append(utf8.constData(), std::size_t(utf8.size()));
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

#pragma once

#include <cstddef>

namespace mixgen {

// File names are bytes, normally UTF-8. A sequence counts as one character only in its
// shortest form, never for a surrogate and never past U+10FFFF. Every other byte above 127 (a
// lone continuation byte, a lead byte cut short, an overlong form, a 5- or 6-byte lead) is one
// character of its own, an invalid one: a name in an older 8-bit encoding such as Latin-1 so
// has one invalid character for each of its letters outside ASCII.

// The length (1 to 4) of the valid character that starts at text[pos] (pos < size), or 0 when
// the byte there starts none.
inline std::size_t utf8CharacterLength(const unsigned char* text, std::size_t size,
                                       std::size_t pos) {
    const unsigned char lead = text[pos];
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;  // the allowed range of the second byte (rules out overlong
    unsigned char high = 0xBF; // forms, surrogates and values past U+10FFFF)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    }
    if (length == 0 || pos + length > size || text[pos + 1] < low || text[pos + 1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((text[pos + i] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace mixgen

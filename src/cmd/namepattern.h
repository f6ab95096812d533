#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace mixgen::cmd {

// A file-name wildcard as dir understands it: case-insensitive, "*" any run of characters,
// "?" exactly one character; trailing blanks and dots of the pattern are dropped, so "ITZ "
// finds ".itz" files, and a pattern left empty matches every name.
class NamePattern {
public:
    explicit NamePattern(std::string_view pattern);

    bool matches(std::string_view name) const;

    // A name's last eight bytes, read once for all the patterns tried on it.
    struct NameTail {
        std::uint64_t bytes;
        std::uint64_t small; // capitals made small
    };
    // For a name of eight bytes or more.
    static NameTail tailOf(std::string_view name);
    // matches, quicker for the usual "*.EXT": the tail's bytes against the pattern's.
    bool matches(std::string_view name, const NameTail& tail) const {
        if (!m_quickTail || (tail.bytes & m_tailHighBits) != 0)
            return matches(name);
        return (tail.small & m_tailMask) == m_tailValue;
    }
    // Whether a name whose last byte is this one may match: a quick test that spares the
    // whole one for most names when several patterns are tried on each.
    bool mayEndWith(unsigned char lastByte) const;

    bool operator==(const NamePattern&) const = default;

private:
    bool matchesFolded(std::string_view name) const;

    static constexpr char32_t kAnyRun = 0xFFFFFFFF;
    static constexpr char32_t kAnyOne = 0xFFFFFFFE;

    std::vector<char32_t> m_folded; // the pattern, case-folded, wildcards as kAnyRun/kAnyOne
    // "*" followed by ASCII only (the usual "*.EXT"): a test of the name's last bytes, with
    // '?' standing for any one character.
    bool m_isSuffix = false;
    std::string m_suffix; // lower-cased
    // A suffix of at most eight bytes, as the last eight bytes of a name that ends in it look
    // with capitals made small: those bytes (none where the pattern has "?"), and where they
    // lie. A byte above 127 there is part of a longer character: then the whole test decides.
    bool m_quickTail = false;
    std::uint64_t m_tailValue = 0;
    std::uint64_t m_tailMask = 0;
    std::uint64_t m_tailHighBits = 0;
};

} // namespace mixgen::cmd

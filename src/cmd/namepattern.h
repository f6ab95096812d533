#pragma once

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
};

} // namespace mixgen::cmd

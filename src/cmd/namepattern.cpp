#include "namepattern.h"

#include "namecodec.h"

#include <bit>

namespace mixgen::cmd {

NamePattern::NamePattern(std::string_view pattern) {
    while (!pattern.empty() && (pattern.back() == ' ' || pattern.back() == '.'))
        pattern.remove_suffix(1);
    if (pattern.empty())
        pattern = "*";

    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const char32_t character = nextCharacter(pattern, pos);
        if (character == '*') {
            if (m_folded.empty() || m_folded.back() != kAnyRun) // "**" is "*"
                m_folded.push_back(kAnyRun);
        } else if (character == '?') {
            m_folded.push_back(kAnyOne);
        } else {
            m_folded.push_back(foldCase(character));
        }
    }

    m_isSuffix = m_folded.front() == kAnyRun;
    for (std::size_t i = 1; m_isSuffix && i < m_folded.size(); ++i) {
        const char32_t c = m_folded[i];
        if (c == kAnyOne)
            m_suffix.push_back('?');
        else if (c < 0x80 && c != '?')
            m_suffix.push_back(static_cast<char>(c));
        else
            m_isSuffix = false; // another "*", a literal '?' cannot occur, or non-ASCII
    }

    m_quickTail = m_isSuffix && m_suffix.size() <= 8;
    for (std::size_t i = 0; m_quickTail && i < m_suffix.size(); ++i) {
        // Byte i of the suffix is byte 8 - size + i of the tail, the lowest first.
        const std::size_t shift = 8 * (8 - m_suffix.size() + i);
        m_tailHighBits |= std::uint64_t(0x80) << shift;
        if (m_suffix[i] != '?') {
            m_tailMask |= std::uint64_t(0xFF) << shift;
            m_tailValue |= std::uint64_t(static_cast<unsigned char>(m_suffix[i])) << shift;
        }
    }
    if (std::endian::native != std::endian::little)
        m_quickTail = false;
}

NamePattern::NameTail NamePattern::tailOf(std::string_view name) {
    NameTail tail{};
    std::memcpy(&tail.bytes, name.data() + name.size() - 8, 8);
    // Bytes above 127 lose their high bit first, so that none carries into its neighbour: a
    // pattern whose bytes they are never reads them here.
    tail.small = foldedAscii8(tail.bytes & ~kHighBits);
    return tail;
}

bool NamePattern::matches(std::string_view name) const {
    if (!m_isSuffix)
        return matchesFolded(name);
    // Every character takes at least one byte, so a shorter name cannot match.
    if (name.size() < m_suffix.size())
        return false;
    const char* tail = name.data() + name.size() - m_suffix.size();
    for (std::size_t i = m_suffix.size(); i-- > 0;) {
        const auto byte = static_cast<unsigned char>(tail[i]);
        if (byte >= 0x80)
            return matchesFolded(name); // a '?' may span several bytes: count characters
        if (m_suffix[i] != '?' && static_cast<char>(foldAscii(byte)) != m_suffix[i])
            return false;
    }
    return true;
}

bool NamePattern::mayEndWith(unsigned char lastByte) const {
    if (!m_isSuffix || m_suffix.empty() || m_suffix.back() == '?' || lastByte >= 0x80)
        return true; // a byte of a longer character may stand for anything
    return static_cast<char>(foldAscii(lastByte)) == m_suffix.back();
}

bool NamePattern::matchesFolded(std::string_view name) const {
    thread_local std::vector<char32_t> folded;
    folded.clear();
    for (std::size_t pos = 0; pos < name.size();)
        folded.push_back(foldCase(nextCharacter(name, pos)));

    // Greedy matching with one backtrack point: the last "*" seen.
    const std::size_t patternSize = m_folded.size();
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = patternSize;
    std::size_t resume = 0;
    while (n < folded.size()) {
        if (p < patternSize && (m_folded[p] == kAnyOne || m_folded[p] == folded[n])) {
            ++p;
            ++n;
        } else if (p < patternSize && m_folded[p] == kAnyRun) {
            star = p++;
            resume = n;
        } else if (star != patternSize) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < patternSize && m_folded[p] == kAnyRun)
        ++p;
    return p == patternSize;
}

} // namespace mixgen::cmd

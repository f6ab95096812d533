#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace mixgen;

namespace {

// The list-file translation table as the song search documents it: code page 437 byte ->
// ANSI (Latin-1) code.
const std::map<int, int>& translationTable() {
    static const std::map<int, int> table = {
        {128, 199}, {129, 252}, {130, 233}, {131, 226}, {132, 228}, {133, 224}, {134, 229},
        {135, 231}, {136, 234}, {137, 235}, {138, 232}, {139, 239}, {140, 238}, {141, 236},
        {142, 196}, {143, 197}, {144, 201}, {145, 230}, {146, 198}, {147, 244}, {148, 246},
        {149, 242}, {150, 251}, {151, 249}, {152, 255}, {153, 214}, {154, 220}, {155, 162},
        {156, 163}, {157, 165}, {160, 225}, {161, 237}, {162, 243}, {163, 250}, {164, 241},
        {165, 209}, {225, 223}, {227, 182}, {230, 181}, {237, 248},
    };
    return table;
}

std::set<int> unsupportedBytes() {
    std::set<int> bytes = {158, 159, 226, 228, 229};
    for (int b = 166; b <= 224; ++b)
        bytes.insert(b);
    for (int b = 231; b <= 236; ++b)
        bytes.insert(b);
    for (int b = 238; b <= 255; ++b)
        bytes.insert(b);
    return bytes;
}

} // namespace

// Catches a wrong or missing entry in the 40-entry list-file translation.
TEST(OemToAnsi, TranslatesEveryTableEntry) {
    ASSERT_EQ(translationTable().size(), 40u);
    for (const auto& [oem, ansi] : translationTable()) {
        const QChar translated = oemToAnsi(static_cast<unsigned char>(oem));
        EXPECT_EQ(translated.unicode(), ansi) << "byte " << oem;
    }
    // The two characters the ANSI code page lacks become their stand-ins.
    EXPECT_EQ(oemToAnsi(227), QChar(0x00B6));
    EXPECT_EQ(oemToAnsi(237), QChar(0x00F8));
}

// Catches a byte that should be refused being translated (or the reverse), and ASCII bytes
// being altered.
TEST(OemToAnsi, RefusesExactlyTheUnsupportedSet) {
    const std::set<int> unsupported = unsupportedBytes();
    EXPECT_EQ(unsupported.size() + translationTable().size(), 128u);
    for (int b = 0; b < 256; ++b) {
        const QChar translated = oemToAnsi(static_cast<unsigned char>(b));
        if (b < 128)
            EXPECT_EQ(translated.unicode(), b) << "byte " << b;
        else if (unsupported.count(b))
            EXPECT_TRUE(translated.isNull()) << "byte " << b;
        else
            EXPECT_FALSE(translated.isNull()) << "byte " << b;
    }
}

// Catches a table entry that disagrees with what code page 437 shows for the same byte (the
// translation keeps the character except for 227 and 237).
TEST(OemToAnsi, AgreesWithTheWholeCodePage) {
    for (const auto& [oem, ansi] : translationTable()) {
        if (oem == 227 || oem == 237)
            continue;
        EXPECT_EQ(cp437ToUnicode(static_cast<unsigned char>(oem)), char32_t(ansi)) << oem;
    }
}

// Catches misplaced rows of the code page: the box drawing of the search's progress frame,
// and landmarks in every other block.
TEST(Cp437, ShowsTheKnownCharacters) {
    EXPECT_EQ(cp437ToUnicode(218), U'\u250C');
    EXPECT_EQ(cp437ToUnicode(196), U'\u2500');
    EXPECT_EQ(cp437ToUnicode(191), U'\u2510');
    EXPECT_EQ(cp437ToUnicode(179), U'\u2502');
    EXPECT_EQ(cp437ToUnicode(192), U'\u2514');
    EXPECT_EQ(cp437ToUnicode(217), U'\u2518');
    EXPECT_EQ(cp437ToUnicode(158), U'\u20A7');
    EXPECT_EQ(cp437ToUnicode(176), U'\u2591');
    EXPECT_EQ(cp437ToUnicode(219), U'\u2588');
    EXPECT_EQ(cp437ToUnicode(224), U'\u03B1');
    EXPECT_EQ(cp437ToUnicode(227), U'\u03C0');
    EXPECT_EQ(cp437ToUnicode(237), U'\u03C6');
    EXPECT_EQ(cp437ToUnicode(254), U'\u25A0');
    EXPECT_EQ(cp437ToUnicode(255), U'\u00A0');
    for (int b = 0; b < 128; ++b)
        EXPECT_EQ(cp437ToUnicode(static_cast<unsigned char>(b)), char32_t(b));
}

// Catches a reverse lookup that loses or confuses characters: every byte survives the round
// trip, and no two bytes show the same character.
TEST(Cp437, RoundTripsEveryByte) {
    std::set<char32_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char32_t shown = cp437ToUnicode(static_cast<unsigned char>(b));
        EXPECT_TRUE(seen.insert(shown).second) << "byte " << b << " repeats a character";
        EXPECT_EQ(unicodeToCp437(shown), b) << "byte " << b;
    }
}

// Catches characters outside the code page being written as some other real character
// instead of the "not available" byte 254.
TEST(Cp437, MarksMissingCharactersWith254) {
    for (char32_t missing : {U'\u20AC', U'\u0100', U'\u00C0', U'\u4E2D', U'\U0001F3B5', U'\u00FE',
                             U'\uFFFD', char32_t(0x10FFFF)}) {
        EXPECT_EQ(unicodeToCp437(missing), 254) << "U+" << std::hex << uint32_t(missing);
    }
    // 254 itself stands for the black square, the only real character that gives it.
    EXPECT_EQ(unicodeToCp437(U'\u25A0'), 254);
}

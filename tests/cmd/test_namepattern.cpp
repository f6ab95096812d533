#include "namecodec.h"
#include "namepattern.h"

#include <cctype>
#include <random>

#include <QChar>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace mixgen::cmd;

namespace {
// The characters of a name as nextCharacter reads them.
std::vector<char32_t> characters(std::string_view name) {
    std::vector<char32_t> found;
    for (std::size_t pos = 0; pos < name.size();)
        found.push_back(nextCharacter(name, pos));
    return found;
}
constexpr char32_t invalid(unsigned char byte) {
    return kInvalidByteBase + byte;
}
} // namespace

// Catches case-sensitive matching and a suffix test that checks the wrong bytes.
TEST(NamePattern, MatchesExtensionsIgnoringCase) {
    const NamePattern mp("*.MP?");
    EXPECT_TRUE(mp.matches("song.mp3"));
    EXPECT_TRUE(mp.matches("SONG.MP2"));
    EXPECT_TRUE(mp.matches("a.b.Mp4"));
    EXPECT_TRUE(mp.matches(".mpx"));
    EXPECT_FALSE(mp.matches("song.mp"));   // "?" needs one character
    EXPECT_FALSE(mp.matches("song.mp34")); // and only one
    EXPECT_FALSE(mp.matches("song.wav"));
    EXPECT_FALSE(mp.matches("songmp3"));
    EXPECT_FALSE(mp.matches("p3"));
    const NamePattern it("*.IT");
    EXPECT_TRUE(it.matches("x.it"));
    EXPECT_FALSE(it.matches("x.itz"));
    EXPECT_FALSE(it.matches("xit"));
}

// Catches "?" counting bytes instead of characters, and non-ASCII letters compared by case.
TEST(NamePattern, CountsCharactersNotBytes) {
    const NamePattern mp("*.MP?");
    EXPECT_TRUE(mp.matches("x.mpé"));                // é is two bytes
    EXPECT_TRUE(mp.matches("x.mp\xF0\x9F\x8E\xB5")); // a four-byte character
    EXPECT_TRUE(mp.matches("x.mp\xFF"));             // an invalid byte is one character
    EXPECT_FALSE(mp.matches("x.m\xC3\xA9"));         // "é" in place of "p?" is one character short
    EXPECT_TRUE(NamePattern("?.mp3").matches("é.mp3"));
    EXPECT_FALSE(NamePattern("??.mp3").matches("é.mp3"));
    EXPECT_TRUE(NamePattern("*É*").matches("café.mp3"));
    EXPECT_TRUE(NamePattern("CAFÉ.MP3").matches("café.mp3"));
    EXPECT_FALSE(NamePattern("CAFE.MP3").matches("café.mp3"));
}

// Catches trailing blanks or dots kept in the pattern ("ITZ " would then find nothing).
TEST(NamePattern, DropsTrailingBlanksAndDots) {
    EXPECT_TRUE(NamePattern("*.ITZ ").matches("tune.itz"));
    EXPECT_FALSE(NamePattern("*.ITZ ").matches("tune.itz "));
    EXPECT_TRUE(NamePattern("*.xm. .").matches("a.XM"));
    // Nothing left: every name.
    EXPECT_TRUE(NamePattern(" ").matches("anything"));
    EXPECT_TRUE(NamePattern("").matches("x"));
}

// Catches a wildcard engine that fails to backtrack, or treats a name's own "*" or "?" as a
// wildcard.
TEST(NamePattern, GeneralWildcards) {
    EXPECT_TRUE(NamePattern("a*b*c").matches("aXXbYYbZc"));
    EXPECT_FALSE(NamePattern("a*b*c").matches("aXXbYYbZ"));
    EXPECT_TRUE(NamePattern("*ab").matches("aab"));
    EXPECT_TRUE(NamePattern("a**").matches("a"));
    EXPECT_TRUE(NamePattern("s?ng*.mp3").matches("Song 1.MP3"));
    EXPECT_FALSE(NamePattern("s?ng*.mp3").matches("Sng.mp3"));
    EXPECT_FALSE(NamePattern("exact").matches("exactly"));
    EXPECT_TRUE(NamePattern("*").matches(""));
    EXPECT_FALSE(NamePattern("a?").matches("a"));
    EXPECT_TRUE(NamePattern("*.mp3").matches("what?*.mp3"));
}

// Catches a broken sequence read as a character, or as one invalid character instead of one
// for each of its bytes (the program warns once for each).
TEST(NameCodec, ReadsEachInvalidByteAsOneCharacter) {
    EXPECT_EQ(characters("é中\xF0\x9F\x8E\xB5"), (std::vector<char32_t>{U'é', U'中', U'🎵'}));
    EXPECT_EQ(characters("\xE9t\xE9"), (std::vector<char32_t>{invalid(0xE9), U't', invalid(0xE9)}));
    EXPECT_EQ(characters("\xC3"), (std::vector<char32_t>{invalid(0xC3)})); // cut short
    EXPECT_EQ(characters("\xC0\xAF"), (std::vector<char32_t>{invalid(0xC0), invalid(0xAF)}));
    EXPECT_EQ(characters("\xED\xA0\x80"), // a surrogate
              (std::vector<char32_t>{invalid(0xED), invalid(0xA0), invalid(0x80)}));
    EXPECT_EQ(characters("\xF8\x88\x80\x80\x80").size(), 5u); // a 5-byte lead
    EXPECT_EQ(characters("\xF4\x90\x80\x80").size(), 4u);     // past U+10FFFF
}

// Catches a case folding table built wrongly (a page or a change of the wrong sign, a page
// left out): every character folds as Qt's Unicode data folds it.
TEST(NameCodec, FoldsEveryCharacterAsQtDoes) {
    int folded = 0;
    for (char32_t c = 0; c < 0x110000; ++c) {
        ASSERT_EQ(foldCase(c), QChar::toCaseFolded(c)) << std::hex << std::uint32_t(c);
        folded += foldCase(c) != c;
    }
    EXPECT_GT(folded, 1000);
    EXPECT_EQ(foldCase(kInvalidByteBase + 0xC3), kInvalidByteBase + 0xC3);
}

// Catches an order that is by bytes (capitals first), not total, or not case-insensitive for
// accented letters.
TEST(NameCodec, OrdersNamesIgnoringCase) {
    std::vector<std::string> names = {"b.mp3", "C.mp3", "a.mp3", "A.mp3", "ab",   "AB", "Ab",
                                      "é.mp3", "É.mp3", "f.mp3", "a",     "\xFF", "z"};
    std::sort(names.begin(), names.end(), lessCaseInsensitive);
    const std::vector<std::string> expected = {"a",     "A.mp3", "a.mp3", "AB",    "Ab",
                                               "ab",    "b.mp3", "C.mp3", "f.mp3", "z",
                                               "É.mp3", "é.mp3", "\xFF"};
    EXPECT_EQ(names, expected);
    for (const auto& a : names)
        EXPECT_FALSE(lessCaseInsensitive(a, a)) << a;
}

// Catches names compared several bytes at a time in another order than one at a time: plain
// names go by their small-letter forms, then by their bytes.
TEST(NameCodec, OrdersLongPlainNamesAsTheirSmallLetters) {
    std::mt19937 engine(7);
    const auto name = [&] {
        std::string text(engine() % 20, ' ');
        for (char& c : text)
            c = "aAbBzZ@[`{09 ._-"[engine() % 16];
        return text;
    };
    const auto small = [](std::string text) {
        for (char& c : text)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string a = name();
        std::string b = engine() % 2 ? name() : a;
        if (!b.empty())
            b[engine() % b.size()] ^= 0x20; // often the same name but for one letter's case
        const bool expected = small(a) != small(b) ? small(a) < small(b) : a < b;
        ASSERT_EQ(lessCaseInsensitive(a, b), expected) << a << " | " << b;
    }
}

// Catches quick keys that order two names otherwise than the names do: a short name before
// the longer ones it starts, capitals, letters of several bytes that fold to plain ones (the
// Kelvin sign is a "k"), and names alike in their first eight bytes or more.
TEST(NameCodec, KeysOrderNamesAsTheNamesDo) {
    std::mt19937 engine(11);
    const char* pieces[] = {"a", "A", "k", "K", "\xE2\x84\xAA", "\xC3\xA9", "\xFF", " ", "0", "_"};
    const auto name = [&] {
        std::string text;
        for (std::size_t n = 1 + engine() % 20; text.size() < n;)
            text += pieces[engine() % std::size(pieces)];
        return text;
    };
    for (int i = 0; i < 100000; ++i) {
        const std::string a = name();
        std::string b;
        switch (engine() % 4) {
        case 0: // a name it starts
            b = a.substr(0, 1 + engine() % a.size());
            break;
        case 1: // a name that starts as it does, then goes on otherwise
            b = a.substr(0, engine() % (a.size() + 1)) + name();
            break;
        default:
            b = name();
        }
        ASSERT_EQ(lessByKeyOrName(orderKeys(a), a, orderKeys(b), b), lessCaseInsensitive(a, b))
            << a << " | " << b;
    }
}

// Catches the walk's quick last-byte test ruling out a name the whole test would match:
// upper case, "?" at the end, a last character of several bytes, a pattern not of "*.EXT" form.
// Catches the word-at-a-time test missing a line break in some byte of a word or in the
// bytes after the last whole word, or taking a byte that only looks like one (0x8A, 0x0B).
TEST(NameCodec, FindsEveryLineBreak) {
    std::mt19937 engine(11);
    const std::string bytes = std::string("abAB. ") + '\x8a' + '\x8d' + '\x0b' + '\x0c' + "\xc3\xa9";
    for (int round = 0; round < 20'000; ++round) {
        std::string name(std::uniform_int_distribution<int>(0, 40)(engine), 'x');
        for (char& c : name)
            c = bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(engine)];
        const bool withBreak = !name.empty() && round % 2 == 0;
        if (withBreak)
            name[std::uniform_int_distribution<std::size_t>(0, name.size() - 1)(engine)] =
                round % 4 == 0 ? '\n' : '\r';
        ASSERT_EQ(holdsLineBreak(name), withBreak) << name;
    }
}

TEST(NamePattern, QuickTestNeverRulesOutAMatch) {
    const char* patterns[] = {"*.MP?", "*.WMA", "*.K", "*.ITZ ", "A*B", "*"};
    const char* names[] = {"x.MP3",       "x.mpé",    "x.wma", "x.WMA", "x.\xE2\x84\xAA" /* K */,
                           "x.k",         "x.itz",    "aXb",   "AyB",   "x.mp3x",
                           "song.mp\xFF", "notes.txt"};
    int matched = 0;
    for (const char* pattern : patterns) {
        const NamePattern p(pattern);
        for (const std::string name : names) {
            if (!p.matches(name))
                continue;
            ++matched;
            EXPECT_TRUE(p.mayEndWith(static_cast<unsigned char>(name.back())))
                << pattern << " " << name;
        }
    }
    EXPECT_GT(matched, 12);                                    // the cases above do match
    EXPECT_TRUE(NamePattern("*.K").matches("x.\xE2\x84\xAA")); // the Kelvin sign folds to k
    EXPECT_FALSE(NamePattern("*.WMA").mayEndWith('3'));
}

// Catches the quick eight-byte test of a name's end deciding otherwise than the whole test:
// capitals, "?" on a character of several bytes, bytes above 127 next to the suffix (one
// must not carry into it), suffixes of up to eight bytes and names just that long.
TEST(NamePattern, TailTestDecidesAsTheWholeTest) {
    std::mt19937 engine(5);
    const char* pieces[] = {"a",    "M", "p", "P", "3",        ".",    "i",
                            "T",    "z", "Z", " ", "\xC3\xA9", "\xFF", "\xE2\x84\xAA",
                            "\xC3", "@", "["};
    const char* patterns[] = {"*.MP?",   "*.ITZ ",   "*.IT",  "*.K",   "*.??",
                              "*.MPEG?", "*A.B.C.D", "*.WAV", "*Z.??", "*@.??"};
    int matched = 0;
    for (int i = 0; i < 40000; ++i) {
        std::string name;
        for (std::size_t n = 8 + engine() % 6; name.size() < n;)
            name += pieces[engine() % std::size(pieces)];
        if (engine() % 3 == 0) // most names end in a suffix
            name += std::string(".") + "mMpPiItTzZ3"[engine() % 11] + "pP3zZ"[engine() % 5];
        const NamePattern::NameTail tail = NamePattern::tailOf(name);
        for (const char* pattern : patterns) {
            const NamePattern p(pattern);
            const bool whole = p.matches(name);
            matched += whole;
            ASSERT_EQ(p.matches(name, tail), whole) << pattern << " | " << name;
        }
    }
    EXPECT_GT(matched, 1000);
}

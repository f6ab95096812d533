#include "codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace mixgen {

namespace {

// What bytes 128 to 255 of code page 437 show; bytes below 128 are ASCII.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 128
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 136
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 144
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 152
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // 160
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // 168
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // 176
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // 184
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // 192
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // 200
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // 208
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // 216
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // 224
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // 232
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // 240
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // 248
};

// The list file's translation: the 40 code page 437 bytes that the ANSI code page can show,
// with the ANSI (Latin-1) code each becomes. Two of them (227, 237) show a different
// character there, the nearest one the ANSI code page has.
constexpr std::array<std::pair<unsigned char, unsigned char>, 40> kOemToAnsi = {{
    {128, 199}, {129, 252}, {130, 233}, {131, 226}, {132, 228}, {133, 224}, {134, 229}, {135, 231},
    {136, 234}, {137, 235}, {138, 232}, {139, 239}, {140, 238}, {141, 236}, {142, 196}, {143, 197},
    {144, 201}, {145, 230}, {146, 198}, {147, 244}, {148, 246}, {149, 242}, {150, 251}, {151, 249},
    {152, 255}, {153, 214}, {154, 220}, {155, 162}, {156, 163}, {157, 165}, {160, 225}, {161, 237},
    {162, 243}, {163, 250}, {164, 241}, {165, 209}, {225, 223}, {227, 182}, {230, 181}, {237, 248},
}};

// The reverse of the high half, sorted by character, built once.
struct ReverseEntry {
    char16_t character;
    unsigned char byte;
};

std::array<ReverseEntry, 128> buildReverse() {
    std::array<ReverseEntry, 128> reverse{};
    for (int i = 0; i < 128; ++i)
        reverse[i] = {kCp437High[i], static_cast<unsigned char>(128 + i)};
    std::sort(reverse.begin(), reverse.end(), [](const ReverseEntry& a, const ReverseEntry& b) {
        return a.character < b.character;
    });
    return reverse;
}

} // namespace

QChar oemToAnsi(unsigned char byte) {
    if (byte < 128)
        return QChar(byte);
    for (const auto& [oem, ansi] : kOemToAnsi) {
        if (oem == byte)
            return QChar(ansi);
    }
    return QChar();
}

char32_t cp437ToUnicode(unsigned char byte) {
    if (byte < 128)
        return byte;
    return kCp437High[byte - 128];
}

unsigned char unicodeToCp437(char32_t character) {
    if (character < 128)
        return static_cast<unsigned char>(character);
    static const std::array<ReverseEntry, 128> reverse = buildReverse();
    if (character > 0xFFFF)
        return 254;
    const auto it = std::lower_bound(
        reverse.begin(), reverse.end(), character,
        [](const ReverseEntry& entry, char32_t wanted) { return entry.character < wanted; });
    if (it == reverse.end() || it->character != character)
        return 254;
    return it->byte;
}

QString textFromCp437(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text.append(QChar(char16_t(cp437ToUnicode(static_cast<unsigned char>(byte)))));
    return text;
}

} // namespace mixgen

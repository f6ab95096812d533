#include "platform/nameencoding.h"

namespace mixgen {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + a byte from 0x80 to 0xFF

// The length of the valid UTF-8 sequence at bytes[i] and its code point, or 0 when the byte
// starts none (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, cut).
int validSequence(QByteArrayView bytes, qsizetype i, char32_t* code) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (at(i + k) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

// A lone low surrogate from U+DC80 to U+DCFF; after a high surrogate it is half of a pair.
bool isEscape(const QString& name, qsizetype i) {
    const char16_t unit = name[i].unicode();
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF &&
           (i == 0 || !name[i - 1].isHighSurrogate());
}

} // namespace

QString decodeFileName(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        char32_t code = 0;
        if (byte < 0x80) {
            name += QChar(byte);
            ++i;
        } else if (const int length = validSequence(bytes, i, &code)) {
            name += QString::fromUcs4(&code, 1);
            i += length;
        } else {
            name += QChar(char16_t(kEscapeBase + byte));
            ++i;
        }
    }
    return name;
}

QByteArray encodeFileName(const QString& name) {
    bool escaped = false;
    for (qsizetype i = 0; i < name.size() && !escaped; ++i)
        escaped = isEscape(name, i);
    if (!escaped)
        return name.toUtf8();
    // Runs between escapes go through Qt's encoder as they are, so pairs stay pairs.
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isEscape(name, i))
            continue;
        bytes += QStringView(name).mid(start, i - start).toUtf8();
        if (i < name.size())
            bytes += char(name[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    return bytes;
}

} // namespace mixgen

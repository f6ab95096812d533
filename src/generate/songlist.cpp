#include "generate/songsearch.h"

#include "platform/codepage.h"
#include "platform/messages.h"

#include <QFile>

#include <array>
#include <cstdint>
#include <cstring>

namespace mixgen {

namespace {

// Read at a time from the growing list.
constexpr qint64 kChunk = 1 << 20;

bool hasByteAbove127(const char* data, qsizetype length) {
    qsizetype i = 0;
    for (; i + 8 <= length; i += 8) { // eight bytes at a time
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        if (word & 0x8080808080808080ULL)
            return true;
    }
    for (; i < length; ++i)
        if (data[i] & 0x80)
            return true;
    return false;
}

// Each byte above 127 as the UTF-8 of its character from the table; 0 where the table has
// none. Every character of the table lies in Latin-1, so two bytes each.
struct Utf8Pair {
    char lead = 0;
    char trail = 0;
};
const std::array<Utf8Pair, 256>& translationTable() {
    static const std::array<Utf8Pair, 256> table = [] {
        std::array<Utf8Pair, 256> pairs{};
        for (int byte = 128; byte < 256; ++byte) {
            const QChar c = oemToAnsi(static_cast<unsigned char>(byte));
            if (!c.isNull())
                pairs[std::size_t(byte)] = {char(0xC0 | (c.unicode() >> 6)),
                                            char(0x80 | (c.unicode() & 0x3F))};
        }
        return pairs;
    }();
    return table;
}

} // namespace

QChar OemToAnsiChar(unsigned char character, const QByteArray& lineAsRead) {
    const QChar translated = oemToAnsi(character);
    if (!translated.isNull())
        return translated;
    MsgBox(QStringLiteral("Warning! Unsupported character(s) found in filename:\r\n\r\n") +
               textFromCp437(lineAsRead).toUpper() +
               QStringLiteral("\r\n\r\nThis file will not play properly.  Rename the file to a "
                              "\r\nname with proper characters only to solve this problem."),
           MsgButtons::Ok, MsgIcon::Information);
    return QLatin1Char('_');
}

void SongListDecoder::decodeLine(const char* data, qsizetype length) {
    // Most names are plain ASCII, which is UTF-8 as it stands.
    if (!hasByteAbove127(data, length)) {
        m_songs.append(QByteArrayView(data, length));
        return;
    }
    const std::array<Utf8Pair, 256>& table = translationTable();
    m_line.clear();
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte < 128) {
            m_line.append(char(byte));
        } else if (table[byte].lead != 0) {
            m_line.append(table[byte].lead);
            m_line.append(table[byte].trail);
        } else {
            // Warned about once the list is read, in list order, one warning a character.
            m_unsupported.push_back({byte, QByteArray(data, length)});
            m_line.append('_');
        }
    }
    m_songs.append(m_line);
}

qsizetype SongListDecoder::decodeLines(const char* data, qsizetype size, bool atEnd) {
    qsizetype start = 0;
    while (start < size) {
        const auto* lineEnd =
            static_cast<const char*>(std::memchr(data + start, '\n', std::size_t(size - start)));
        if (!lineEnd && !atEnd)
            break; // the rest of this line has not arrived yet
        const qsizetype end = lineEnd ? lineEnd - data : size;
        qsizetype length = end - start;
        if (length > 0 && data[end - 1] == '\r')
            --length;
        decodeLine(data + start, length);
        start = end + 1;
    }
    return std::min(start, size);
}

void SongListDecoder::warnAboutUnsupportedCharacters() {
    for (const Unsupported& character : m_unsupported)
        OemToAnsiChar(character.byte, character.lineAsRead);
    m_unsupported.clear();
}

void decodeSongList(const QByteArray& bytes, QStringList& songs) {
    FoundSongs found;
    SongListDecoder decoder(found);
    decoder.decodeLines(bytes.constData(), bytes.size(), true);
    decoder.warnAboutUnsupportedCharacters();
    songs.append(found.toStringList());
}

qint64 SongListReader::poll() {
    readNew(false);
    return m_songs.size();
}

SongListReader::End SongListReader::finish() {
    if (!QFile::exists(m_path))
        return End::Missing;
    if (!readNew(true))
        return End::Failed;
    // A last line without its end counts too.
    m_decoder.decodeLines(m_tail.constData(), m_tail.size(), true);
    m_tail.clear();
    return End::Read;
}

bool SongListReader::readNew(bool mustRead) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return !mustRead;
    if (file.size() < m_readUpTo) { // the list was started afresh
        m_readUpTo = 0;
        m_tail.clear();
        m_songs.clear();
        m_decoder.forgetUnsupported();
    }
    if (!file.seek(m_readUpTo))
        return false;
    for (;;) {
        const qsizetype kept = m_tail.size();
        m_tail.resize(kept + kChunk);
        const qint64 got = file.read(m_tail.data() + kept, kChunk);
        m_tail.resize(kept + qMax<qint64>(got, 0));
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        m_readUpTo += got;
        const qsizetype used = m_decoder.decodeLines(m_tail.constData(), m_tail.size(), false);
        m_tail.remove(0, used);
    }
}

} // namespace mixgen

#include "generate/songsearch.h"

#include "platform/codepage.h"
#include "platform/messages.h"

#include <QFile>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace mixgen {

namespace {

// Read at a time from the growing list.
constexpr qint64 kChunk = 1 << 20;

// Where the first byte above 127 lies, or length when there is none.
qsizetype firstByteAbove127(const char* data, qsizetype length) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    qsizetype i = 0;
    for (; i + 32 <= length; i += 32) { // four words at a time while all are plain
        std::uint64_t words[4];
        std::memcpy(words, data + i, sizeof words);
        if ((words[0] | words[1] | words[2] | words[3]) & kHighBits)
            break;
    }
    for (; i < length; ++i)
        if (data[i] & 0x80)
            return i;
    return length;
}

// One line of the list: its name's length (without CR LF) and the whole line's.
struct ListLine {
    qsizetype nameLength = 0;
    qsizetype lineLength = 0;
};

// The line that starts at start; none while its end has not arrived, unless atEnd makes the
// rest the last line.
std::optional<ListLine> lineFrom(const char* data, qsizetype size, qsizetype start, bool atEnd) {
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(data + start, '\n', std::size_t(size - start)));
    if (!lineEnd && !atEnd)
        return std::nullopt;
    const qsizetype end = lineEnd ? lineEnd - data : size;
    qsizetype nameLength = end - start;
    if (nameLength > 0 && data[end - 1] == '\r')
        --nameLength;
    return ListLine{nameLength, (lineEnd ? end + 1 : end) - start};
}

bool hasByteAbove127(const char* data, qsizetype length) {
    return firstByteAbove127(data, length) < length;
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
    translateLine(data, length);
    m_songs.append(m_line);
}

void SongListDecoder::translateLine(const char* data, qsizetype length) {
    const std::array<Utf8Pair, 256>& table = translationTable();
    m_line.resize(2 * length); // every byte gives at most two
    char* out = m_line.data();
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte < 128) {
            *out++ = char(byte);
        } else if (table[byte].lead != 0) {
            *out++ = table[byte].lead;
            *out++ = table[byte].trail;
        } else {
            // Warned about once the list is read, in list order, one warning a character.
            m_unsupported.push_back({byte, QByteArray(data, length)});
            *out++ = '_';
        }
    }
    m_line.truncate(out - m_line.constData());
}

qsizetype SongListDecoder::decodeLines(const char* data, qsizetype size, bool atEnd) {
    qsizetype start = 0;
    while (start < size) {
        const std::optional<ListLine> line = lineFrom(data, size, start, atEnd);
        if (!line)
            break; // the rest of this line has not arrived yet
        decodeLine(data + start, line->nameLength);
        start += line->lineLength;
    }
    return std::min(start, size);
}

void SongListDecoder::decodeReadLines(bool atEnd) {
    const QByteArrayView read = m_songs.unread();
    const char* data = read.data();
    const qsizetype size = read.size();
    // Lines before the first byte above 127 are UTF-8 as they stand.
    qsizetype firstHigh = firstByteAbove127(data, size);
    qsizetype start = 0;
    while (start < size) {
        const std::optional<ListLine> line = lineFrom(data, size, start, atEnd);
        if (!line)
            return; // the rest of this line has not arrived yet
        const qsizetype next = start + line->lineLength;
        if (firstHigh >= start + line->nameLength) {
            m_songs.keepUnread(line->nameLength, line->lineLength);
        } else {
            // Translated, a name is longer by a byte for each letter of the table; most still
            // fit in their line, over their line end.
            const std::size_t warned = m_unsupported.size();
            translateLine(data + start, line->nameLength);
            if (m_line.size() > line->lineLength) {
                m_unsupported.resize(warned); // the copy below meets them again
                break;
            }
            m_songs.keepUnreadAs(m_line, line->lineLength);
            firstHigh = next + firstByteAbove127(data + next, size - next);
        }
        start = next;
    }
    if (start >= size)
        return;
    // A name longer than its line: the rest is decoded from a copy, so that the longer names
    // can take the place of the bytes read. What is left of a line still being written goes
    // back.
    const qsizetype rest = size - start;
    m_copy.resize(rest);
    std::memcpy(m_copy.data(), data + start, std::size_t(rest));
    m_songs.dropUnread();
    const qsizetype used = decodeLines(m_copy.constData(), rest, atEnd);
    if (used < rest) {
        std::memcpy(m_songs.roomToRead(rest - used), m_copy.constData() + used,
                    std::size_t(rest - used));
        m_songs.addRead(rest - used);
    }
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
    m_decoder.decodeReadLines(true);
    m_songs.dropUnread();
    return End::Read;
}

bool SongListReader::readNew(bool mustRead) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return !mustRead;
    const qint64 fileSize = file.size();
    if (fileSize < m_readUpTo) { // the list was started afresh
        m_readUpTo = 0;
        m_songs.clear();
        m_decoder.forgetUnsupported();
    }
    // The file's own pages rather than a copy, when the store can take them.
    if (m_songs.mapUnread(file.handle(), m_readUpTo, fileSize)) {
        m_readUpTo = fileSize;
        m_decoder.decodeReadLines(false);
        return true;
    }
    if (!file.seek(m_readUpTo))
        return false;
    // Room for all that the file holds now, so the store does not grow while it is read.
    m_songs.prepareToRead(fileSize - m_readUpTo);
    for (;;) {
        // Read in pieces that stay in the cache while their lines are found.
        const qint64 got = file.read(m_songs.roomToRead(kChunk), kChunk);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        m_songs.addRead(got);
        m_readUpTo += got;
        m_decoder.decodeReadLines(false);
    }
}

} // namespace mixgen

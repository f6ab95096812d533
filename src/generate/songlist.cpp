#include "generate/songsearch.h"

#include "platform/messages.h"
#include "platform/utf8.h"

#include <QFile>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// Where the first byte that is not part of valid UTF-8 lies, or length when there is none.
qsizetype firstInvalidByte(const char* data, qsizetype length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < length) {
        if (bytes[i] < 0x80) { // a run of ASCII, skipped word by word
            i += firstByteAbove127(data + i, length - i);
            continue;
        }
        // Characters of other scripts mostly follow each other: no skip between them.
        const std::size_t character =
            utf8CharacterLength(bytes, std::size_t(length), std::size_t(i));
        if (character == 0)
            return i;
        i += qsizetype(character);
    }
    return length;
}

// A list-file line as its reader would see it: valid UTF-8 as its characters, each invalid
// byte as the Latin-1 letter it most likely was.
QString shownLine(const QByteArray& line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.constData());
    QString shown;
    qsizetype i = 0;
    while (i < line.size()) {
        const qsizetype invalid = i + firstInvalidByte(line.constData() + i, line.size() - i);
        shown += QString::fromUtf8(line.constData() + i, invalid - i);
        if (invalid < line.size())
            shown += QChar(char16_t(bytes[invalid]));
        i = invalid + 1;
    }
    return shown;
}

} // namespace

QChar OemToAnsiChar(const QByteArray& lineAsRead) {
    MsgBox(QStringLiteral("Warning! Unsupported character(s) found in filename:\r\n\r\n") +
               shownLine(lineAsRead).toUpper() +
               QStringLiteral("\r\n\r\nThis file will not play properly.  Rename the file to a "
                              "\r\nname with proper characters only to solve this problem."),
           MsgButtons::Ok, MsgIcon::Information);
    return QLatin1Char('_');
}

void SongListDecoder::decodeLine(const char* data, qsizetype length) {
    // Almost every name is valid UTF-8, and is kept as it stands.
    if (firstInvalidByte(data, length) == length) {
        m_songs.append(QByteArrayView(data, length));
        return;
    }
    replaceInvalidBytes(data, length);
    m_songs.append(m_line);
}

void SongListDecoder::replaceInvalidBytes(const char* data, qsizetype length) {
    m_line = QByteArray(data, length);
    qsizetype i = firstInvalidByte(data, length);
    while (i < length) {
        // Warned about once the list is read, in list order, one warning a character.
        m_unsupported.push_back(QByteArray(data, length));
        m_line[i] = '_';
        ++i;
        i += firstInvalidByte(data + i, length - i);
    }
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

void SongListDecoder::keepReadLine(const char* data, qsizetype start, qsizetype end, bool ended,
                                   bool plain) {
    qsizetype nameLength = end - start;
    if (nameLength > 0 && data[end - 1] == '\r')
        --nameLength;
    const qsizetype lineLength = end - start + (ended ? 1 : 0);
    if (plain || firstInvalidByte(data + start, nameLength) == nameLength) {
        m_songs.keepUnread(nameLength, lineLength);
        return;
    }
    // Each invalid byte becomes one "_", so the name keeps its place in its line.
    replaceInvalidBytes(data + start, nameLength);
    m_songs.keepUnreadAs(m_line, lineLength);
}

void SongListDecoder::decodeReadLines(bool atEnd) {
    const QByteArrayView read = m_songs.unread();
    const char* data = read.data();
    const qsizetype size = read.size();
    qsizetype start = 0;
    // Whether a byte above 127 stands in the line so far: only such a line is looked at
    // character by character.
    bool high = false;
    qsizetype at = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: where the line ends lie, and whether any byte is above 127.
    const __m128i lineEnd = _mm_set1_epi8('\n');
    for (; at + 16 <= size; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        auto ends = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineEnd)));
        const auto highs = unsigned(_mm_movemask_epi8(bytes));
        unsigned from = 0; // the bytes of this block that belong to the current line
        while (ends != 0) {
            const unsigned bit = unsigned(__builtin_ctz(ends));
            const unsigned before = (1u << bit) - 1;
            keepReadLine(data, start, at + bit, true, !high && (highs & before & ~from) == 0);
            start = at + bit + 1;
            high = false;
            from = before | (1u << bit);
            ends &= ends - 1;
        }
        high = high || (highs & ~from) != 0;
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == '\n') {
            keepReadLine(data, start, at, true, !high);
            start = at + 1;
            high = false;
        } else if (data[at] & 0x80) {
            high = true;
        }
    }
    // A last line without its end counts too, once the list is complete.
    if (atEnd && start < size)
        keepReadLine(data, start, size, false, !high);
}

void SongListDecoder::warnAboutUnsupportedCharacters() {
    for (const QByteArray& lineAsRead : m_unsupported)
        OemToAnsiChar(lineAsRead);
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

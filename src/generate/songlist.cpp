#include "generate/songsearch.h"

#include "platform/codepage.h"
#include "platform/messages.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mixgen {

namespace {

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

QString decodeLine(const char* data, qsizetype length) {
    // Most names are plain ASCII: one conversion, no table.
    QString line = QString::fromLatin1(data, length);
    if (!hasByteAbove127(data, length))
        return line;
    const QByteArray lineAsRead(data, length);
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte > 127)
            line[i] = OemToAnsiChar(byte, lineAsRead);
    }
    return line;
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

void decodeSongList(const QByteArray& bytes, QStringList& songs) {
    const char* const data = bytes.constData();
    const qsizetype size = bytes.size();
    songs.reserve(songs.size() + std::count(data, data + size, '\n') + 1);
    qsizetype start = 0;
    while (start < size) {
        const auto* lineEnd =
            static_cast<const char*>(std::memchr(data + start, '\n', std::size_t(size - start)));
        const qsizetype end = lineEnd ? lineEnd - data : size;
        qsizetype length = end - start;
        if (length > 0 && data[end - 1] == '\r')
            --length;
        songs.append(decodeLine(data + start, length));
        start = end + 1;
    }
}

qint64 ListedSongCounter::poll() {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return m_lineEnds;
    if (file.size() < m_readUpTo) { // the list was started afresh
        m_readUpTo = 0;
        m_lineEnds = 0;
    }
    if (!file.seek(m_readUpTo))
        return m_lineEnds;
    char buffer[64 * 1024];
    qint64 got = 0;
    while ((got = file.read(buffer, sizeof buffer)) > 0) {
        m_lineEnds += std::count(buffer, buffer + got, '\n');
        m_readUpTo += got;
    }
    return m_lineEnds;
}

} // namespace mixgen

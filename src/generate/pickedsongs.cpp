#include "generate/pickedsongs.h"

#include <algorithm>
#include <cstring>

namespace mixgen {

QString sequenceNumber(int counter) {
    return (QStringLiteral("0000") + QString::number(counter)).right(4);
}

QString PickedSongs::entry(qsizetype i) const {
    return sequenceNumber(int(i + 1)) + QLatin1Char(' ') + QString::fromUtf8(utf8(i));
}

QStringList PickedSongs::entries() const {
    QStringList all;
    all.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        all.append(entry(i));
    return all;
}

void PickedSongs::reserve(qsizetype songs, qsizetype bytes) {
    // Room never written costs nothing, so it may be the most the lines can take.
    m_lines.reserve(std::size_t(m_bytes + bytes + 2 * songs));
    m_ends.reserve(m_ends.size() + std::size_t(songs));
}

void PickedSongs::append(QByteArrayView utf8Name) {
    const auto needed = std::size_t(m_bytes + utf8Name.size() + 2);
    if (needed > m_lines.capacity())
        m_lines.reserve(std::max(needed, 2 * m_lines.capacity()));
    char* out = m_lines.data() + m_bytes;
    if (!utf8Name.isEmpty())
        std::memcpy(out, utf8Name.data(), std::size_t(utf8Name.size()));
    out[utf8Name.size()] = '\r';
    out[utf8Name.size() + 1] = '\n';
    m_bytes = qsizetype(needed);
    m_ends.push_back(m_bytes);
}

void PickedSongs::clear() {
    m_lines.release();
    m_bytes = 0;
    m_ends.clear();
    m_ends.shrink_to_fit();
}

} // namespace mixgen

#include "generate/pickedsongs.h"

#include <algorithm>
#include <cstring>

namespace mixgen {

QString PickedSongs::entry(qsizetype i) const {
    const QByteArrayView name = utf8(i);
    QString entry(5 + name.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(entry.data());
    auto number = std::size_t(i + 1) % 10000;
    for (int digit = 3; digit >= 0; --digit, number /= 10)
        out[digit] = char16_t(u'0' + number % 10);
    out[4] = u' ';
    // Most names are plain ASCII: each byte is its character.
    unsigned char seen = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const auto byte = static_cast<unsigned char>(name[at]);
        out[5 + at] = byte;
        seen |= byte;
    }
    if (seen < 0x80)
        return entry;
    entry.truncate(5);
    return entry + QString::fromUtf8(name);
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

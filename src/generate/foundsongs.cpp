#include "generate/foundsongs.h"

#include <cstring>

namespace mixgen {

FoundSongs::FoundSongs(const QStringList& songs) {
    for (const QString& song : songs)
        append(song.toUtf8());
}

void FoundSongs::clear() {
    m_bytes.clear();
    m_ends.clear();
}

void FoundSongs::keepOnly(const std::function<bool(qsizetype)>& keep) {
    qsizetype write = 0;
    std::size_t kept = 0;
    for (qsizetype i = 0; i < size(); ++i) {
        if (!keep(i))
            continue;
        const QByteArrayView song = utf8(i);
        if (song.constData() != m_bytes.constData() + write)
            std::memmove(m_bytes.data() + write, song.constData(), std::size_t(song.size()));
        write += song.size();
        m_ends[kept++] = write;
    }
    m_bytes.truncate(write);
    m_ends.resize(kept);
}

QStringList FoundSongs::toStringList() const {
    QStringList songs;
    songs.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        songs.append(at(i));
    return songs;
}

} // namespace mixgen

#include "generate/foundsongs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace mixgen {

namespace {

// Reads bytes at offset of fd whole; false when the file could not give them.
bool readAt(int fd, char* into, qint64 bytes, qint64 offset) {
    while (bytes > 0) {
        const ssize_t got = ::pread(fd, into, std::size_t(bytes), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        bytes -= got;
        offset += got;
    }
    return true;
}

// The block grows at least this much at a time; room never written costs nothing.
constexpr qsizetype kLeastGrowth = qsizetype(1) << 20;

std::size_t grownCapacity(std::size_t capacity, qsizetype needed) {
    return std::max({std::size_t(needed), capacity * 2, std::size_t(kLeastGrowth)});
}

} // namespace

FoundSongs::FoundSongs(const QStringList& songs) {
    for (const QString& song : songs)
        append(song.toUtf8());
}

FoundSongs::FoundSongs(const FoundSongs& other) {
    copyFrom(other);
}

FoundSongs& FoundSongs::operator=(const FoundSongs& other) {
    if (this != &other) {
        clear();
        copyFrom(other);
    }
    return *this;
}

FoundSongs::FoundSongs(FoundSongs&& other) noexcept
    : m_bytes(std::move(other.m_bytes)),
      m_listPages(std::exchange(other.m_listPages, ListPages::NotYet)),
      m_mappedEnd(std::exchange(other.m_mappedEnd, 0)), m_used(std::exchange(other.m_used, 0)),
      m_unread(std::exchange(other.m_unread, 0)), m_records(std::move(other.m_records)),
      m_count(std::exchange(other.m_count, 0)), m_taken(std::move(other.m_taken)) {}

FoundSongs& FoundSongs::operator=(FoundSongs&& other) noexcept {
    if (this != &other) {
        m_bytes = std::move(other.m_bytes);
        m_listPages = std::exchange(other.m_listPages, ListPages::NotYet);
        m_mappedEnd = std::exchange(other.m_mappedEnd, 0);
        m_used = std::exchange(other.m_used, 0);
        m_unread = std::exchange(other.m_unread, 0);
        m_records = std::move(other.m_records);
        m_count = std::exchange(other.m_count, 0);
        m_taken = std::move(other.m_taken);
    }
    return *this;
}

void FoundSongs::copyFrom(const FoundSongs& other) {
    m_listPages = ListPages::NotUsed; // a copy holds bytes of its own
    if (other.m_taken) {
        // Only the songs that are left, closed up.
        for (qsizetype i = 0; i < other.size(); ++i)
            append(other.utf8(i));
        return;
    }
    reserveBytes(other.m_used + other.m_unread);
    if (other.m_used + other.m_unread > 0)
        std::memcpy(m_bytes.data(), other.m_bytes.data(),
                    std::size_t(other.m_used + other.m_unread));
    m_used = other.m_used;
    m_unread = other.m_unread;
    m_records.reserve(std::size_t(other.m_count) * sizeof(std::uint64_t));
    if (other.m_count > 0)
        std::memcpy(m_records.data(), other.m_records.data(),
                    std::size_t(other.m_count) * sizeof(std::uint64_t));
    m_count = other.m_count;
}

void FoundSongs::clear() {
    m_bytes.release();
    m_listPages = ListPages::NotYet;
    m_mappedEnd = 0;
    m_records.release();
    m_used = 0;
    m_unread = 0;
    m_count = 0;
    m_taken.reset();
}

void FoundSongs::append(QByteArrayView utf8Path) {
    m_listPages = ListPages::NotUsed; // from here on the bytes no longer lie as in the file
    compact();
    reserveBytes(m_used + m_unread + utf8Path.size());
    // Anything read but not yet kept moves behind the new song.
    char* at = m_bytes.data() + m_used;
    if (m_unread > 0)
        std::memmove(at + utf8Path.size(), at, std::size_t(m_unread));
    if (!utf8Path.isEmpty())
        std::memcpy(at, utf8Path.data(), std::size_t(utf8Path.size()));
    m_used += utf8Path.size();
    addRecord(std::uint64_t(m_used), 0);
}

void FoundSongs::takeStored(qsizetype position) {
    if (!m_taken)
        m_taken = std::make_unique<RemainingPositions>(m_count);
    m_taken->take(position);
}

qsizetype FoundSongs::takeAt(qsizetype i) {
    if (!m_taken)
        m_taken = std::make_unique<RemainingPositions>(m_count);
    return m_taken->takeAt(i);
}

char* FoundSongs::roomToRead(qsizetype bytes) {
    m_listPages = ListPages::NotUsed; // read rather than mapped from here on
    compact();
    reserveBytes(m_used + m_unread + bytes);
    return m_bytes.data() + m_used + m_unread;
}

void FoundSongs::prepareToRead(qsizetype bytes) {
    const qsizetype at = m_used + m_unread;
    roomToRead(bytes);
    m_bytes.prepare(std::size_t(at), std::size_t(bytes));
}

bool FoundSongs::mapUnread(int fd, qint64 fileOffset, qint64 fileSize) {
    if (m_listPages == ListPages::NotYet)
        m_listPages = m_used + m_unread == 0 && m_count == 0 && fileOffset == 0 && !m_taken
                          ? ListPages::Used
                          : ListPages::NotUsed;
    if (m_listPages != ListPages::Used || m_used + m_unread != fileOffset)
        return false;
    const auto page = qint64(PagedBlock::pageSize());
    // The page where the file ended may have been written since (a translated name), and a
    // page once written no longer shows what the file gets after: its new bytes are read.
    const qint64 pageRest = std::min(fileSize, m_mappedEnd);
    if (pageRest > fileOffset &&
        !readAt(fd, m_bytes.data() + fileOffset, pageRest - fileOffset, fileOffset)) {
        m_listPages = ListPages::NotUsed;
        return false;
    }
    const qint64 end = (fileSize + page - 1) / page * page;
    if (end > m_mappedEnd) {
        if (m_bytes.capacity() == 0)
            reserveBytes(end);
        // Past its room the block would move, and a moved page no longer shows what the file
        // gets after: from there on the list is read.
        if (std::size_t(end) > m_bytes.capacity() ||
            !m_bytes.mapFile(fd, std::size_t(m_mappedEnd), std::size_t(fileSize - m_mappedEnd))) {
            m_listPages = ListPages::NotUsed;
            return false;
        }
        m_mappedEnd = end;
    }
    m_unread += fileSize - fileOffset;
    return true;
}

void FoundSongs::keepOwnCopy() {
    m_bytes.keepOwnCopy(std::size_t(m_used + m_unread));
    if (m_listPages == ListPages::Used)
        m_listPages = ListPages::NotUsed;
}

void FoundSongs::keepUnreadAs(QByteArrayView name, qsizetype lineLength) {
    if (!name.isEmpty())
        std::memmove(m_bytes.data() + m_used, name.data(), std::size_t(name.size()));
    keepUnread(name.size(), lineLength);
}

QStringList FoundSongs::toStringList() const {
    QStringList songs;
    songs.reserve(size());
    for (qsizetype position = 0; position < m_count; ++position)
        if (!m_taken || !m_taken->isTaken(position))
            songs.append(QString::fromUtf8(storedUtf8(position)));
    return songs;
}

void FoundSongs::growRecords() {
    const std::size_t needed = std::size_t(m_count + 1) * sizeof(std::uint64_t);
    m_records.reserve(grownCapacity(m_records.capacity(), qsizetype(needed)));
}

void FoundSongs::reserveBytes(qsizetype bytes) {
    if (std::size_t(bytes) > m_bytes.capacity())
        m_bytes.reserve(grownCapacity(m_bytes.capacity(), bytes), std::size_t(m_used + m_unread));
}

void FoundSongs::compact() {
    if (!m_taken)
        return;
    m_listPages = ListPages::NotUsed;
    const std::unique_ptr<RemainingPositions> taken = std::move(m_taken);
    auto* ends = reinterpret_cast<std::uint64_t*>(m_records.data());
    char* bytes = m_bytes.data();
    qsizetype write = 0;
    qsizetype kept = 0;
    std::uint64_t start = 0;
    for (qsizetype position = 0; position < m_count; ++position) {
        const std::uint64_t record = ends[position];
        const std::uint64_t end = nameEnd(record);
        if (!taken->isTaken(position)) {
            const auto length = qsizetype(end - start);
            if (qsizetype(start) != write && length > 0)
                std::memmove(bytes + write, bytes + start, std::size_t(length));
            write += length;
            ends[kept++] = std::uint64_t(write) << 2;
        }
        start = nextStart(record);
    }
    // What was read behind the songs and not yet kept closes up too.
    if (m_unread > 0 && write != m_used)
        std::memmove(bytes + write, bytes + m_used, std::size_t(m_unread));
    m_used = write;
    m_count = kept;
}

} // namespace mixgen

#include "generate/foundsongs.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace mixgen {

namespace {

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
    : m_bytes(std::move(other.m_bytes)), m_used(std::exchange(other.m_used, 0)),
      m_unread(std::exchange(other.m_unread, 0)), m_records(std::move(other.m_records)),
      m_count(std::exchange(other.m_count, 0)), m_taken(std::move(other.m_taken)) {}

FoundSongs& FoundSongs::operator=(FoundSongs&& other) noexcept {
    if (this != &other) {
        m_bytes = std::move(other.m_bytes);
        m_used = std::exchange(other.m_used, 0);
        m_unread = std::exchange(other.m_unread, 0);
        m_records = std::move(other.m_records);
        m_count = std::exchange(other.m_count, 0);
        m_taken = std::move(other.m_taken);
    }
    return *this;
}

void FoundSongs::copyFrom(const FoundSongs& other) {
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
    m_records.release();
    m_used = 0;
    m_unread = 0;
    m_count = 0;
    m_taken.reset();
}

void FoundSongs::append(QByteArrayView utf8Path) {
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

char* FoundSongs::roomToRead(qsizetype bytes) {
    compact();
    reserveBytes(m_used + m_unread + bytes);
    return m_bytes.data() + m_used + m_unread;
}

void FoundSongs::prepareToRead(qsizetype bytes) {
    const qsizetype at = m_used + m_unread;
    roomToRead(bytes);
    m_bytes.prepare(std::size_t(at), std::size_t(bytes));
}

void FoundSongs::keepUnread(qsizetype nameLength, qsizetype lineLength) {
    Q_ASSERT(lineLength - nameLength >= 0 && lineLength - nameLength <= 3);
    addRecord(std::uint64_t(m_used + nameLength), lineLength - nameLength);
    m_used += lineLength;
    m_unread -= lineLength;
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

void FoundSongs::addRecord(std::uint64_t end, qsizetype lineEndBytes) {
    const std::size_t needed = std::size_t(m_count + 1) * sizeof(std::uint64_t);
    if (needed > m_records.capacity())
        m_records.reserve(grownCapacity(m_records.capacity(), qsizetype(needed)));
    reinterpret_cast<std::uint64_t*>(m_records.data())[m_count++] =
        end << 2 | std::uint64_t(lineEndBytes);
}

void FoundSongs::reserveBytes(qsizetype bytes) {
    if (std::size_t(bytes) > m_bytes.capacity())
        m_bytes.reserve(grownCapacity(m_bytes.capacity(), bytes));
}

void FoundSongs::compact() {
    if (!m_taken)
        return;
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

#pragma once

#include "generate/remainingpositions.h"
#include "platform/pagedblock.h"
#include "platform/prefetch.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace mixgen {

// The found songs, kept compact: each song's path in UTF-8, one after another in one block,
// with where each ends. A QString is made only for a song that is picked or shown, so a
// million found songs take little more than their names' bytes.
//
// The list reader reads the list file straight into the block, and a plain name stays where
// it was read, its line end behind it. A song that the pick takes keeps its bytes where they
// are and is only marked, so a pick of a hundred thousand songs moves nothing; an index
// counts the songs that are left, in their order.
class FoundSongs {
public:
    FoundSongs() = default;
    explicit FoundSongs(const QStringList& songs);
    FoundSongs(const FoundSongs& other);
    FoundSongs& operator=(const FoundSongs& other);
    FoundSongs(FoundSongs&& other) noexcept;
    FoundSongs& operator=(FoundSongs&& other) noexcept;
    ~FoundSongs() = default;

    qsizetype size() const { return m_taken ? m_taken->remaining() : m_count; }
    bool isEmpty() const { return size() == 0; }
    QByteArrayView utf8(qsizetype i) const { return storedUtf8(storedPosition(i)); }
    QString at(qsizetype i) const { return QString::fromUtf8(utf8(i)); }
    QStringList toStringList() const;

    void append(QByteArrayView utf8Path);
    void clear();

    // The pick's way: a song is looked up once by its index, read, and then taken by its
    // position in the store, which stays the same while songs are taken.
    qsizetype storedPosition(qsizetype i) const { return m_taken ? m_taken->positionAt(i) : i; }
    QByteArrayView storedUtf8(qsizetype position) const {
        const std::uint64_t* ends = records();
        const std::uint64_t start = position == 0 ? 0 : nextStart(ends[position - 1]);
        return QByteArrayView(m_bytes.data() + start, qsizetype(nameEnd(ends[position]) - start));
    }
    void takeStored(qsizetype position);
    // Both at once: takes the song at index of those left and returns its position.
    qsizetype takeAt(qsizetype i);
    // Asks the memory early for a song's record, or (its record already at hand) its name.
    void prefetchRecord(qsizetype position) const {
        prefetchLine(records() + position - (position > 0 ? 1 : 0));
    }
    void prefetchName(qsizetype position) const {
        const QByteArrayView name = storedUtf8(position);
        prefetchLine(name.data());
        prefetchLine(name.data() + name.size());
    }

    // The list reader's way in: bytes read straight into the block behind the songs, then
    // kept line by line as songs where they lie, or dropped once copied out to be changed.
    char* roomToRead(qsizetype bytes);
    // Room for bytes more to be read, its memory given at once rather than page by page.
    void prepareToRead(qsizetype bytes);
    void addRead(qsizetype bytes) { m_unread += bytes; }
    QByteArrayView unread() const { return QByteArrayView(m_bytes.data() + m_used, m_unread); }
    // The first nameLength unread bytes are a song; lineLength of them (its line end too, at
    // most three bytes more) are used up.
    void keepUnread(qsizetype nameLength, qsizetype lineLength) {
        addRecord(std::uint64_t(m_used + nameLength), lineLength - nameLength);
        m_used += lineLength;
        m_unread -= lineLength;
    }
    // The same for a song whose name (at most lineLength bytes) is written over its line.
    void keepUnreadAs(QByteArrayView name, qsizetype lineLength);
    void dropUnread() {
        m_unread = 0;
        m_listPages = ListPages::NotUsed;
    }

    // The same for a list file that grows at its end only, taken in as the file's own pages
    // instead of read: the bytes [fileOffset, fileSize) of fd become the unread bytes. Only a
    // store that has taken in nothing but the file, from its start, does so; false when it
    // cannot (then the bytes are read).
    bool mapUnread(int fd, qint64 fileOffset, qint64 fileSize);
    // Lets go of the list file's pages, copying the songs' bytes: a store that lives on
    // would keep a deleted file, and have its pages written to disk.
    void keepOwnCopy();

private:
    // A song's record: where its name ends, and in the two low bits how many bytes of line
    // end follow it before the next song starts.
    static std::uint64_t nameEnd(std::uint64_t record) { return record >> 2; }
    static std::uint64_t nextStart(std::uint64_t record) { return (record >> 2) + (record & 3); }

    const std::uint64_t* records() const {
        return reinterpret_cast<const std::uint64_t*>(m_records.data());
    }
    // Called once a line: inline, and the room for records grown only now and then.
    void addRecord(std::uint64_t end, qsizetype lineEndBytes) {
        if (std::size_t(m_count + 1) * sizeof(std::uint64_t) > m_records.capacity())
            growRecords();
        reinterpret_cast<std::uint64_t*>(m_records.data())[m_count++] =
            end << 2 | std::uint64_t(lineEndBytes);
    }
    void growRecords();
    void reserveBytes(qsizetype bytes);
    // Closes the gaps that taken songs left, before the block takes anything new.
    void compact();
    void copyFrom(const FoundSongs& other);

    // Whether the list file's own pages hold the songs' bytes, at the file's offsets.
    enum class ListPages { NotYet, Used, NotUsed };

    PagedBlock m_bytes;
    ListPages m_listPages = ListPages::NotYet;
    qint64 m_mappedEnd = 0; // the end of the file's pages mapped so far
    qsizetype m_used = 0;   // the songs' bytes
    qsizetype m_unread = 0; // read behind them, not yet kept
    PagedBlock m_records;
    qsizetype m_count = 0;
    std::unique_ptr<RemainingPositions> m_taken; // once the pick has taken songs
};

} // namespace mixgen

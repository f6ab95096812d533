#pragma once

#include "platform/pagedblock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace mixgen {

// The entry number shown before a picked song: the last four digits of "0000" followed by the
// counter (1 -> "0001", 10000 -> "0000").
QString sequenceNumber(int counter);

// The songs of one pick, in pick order. They are kept as the playlist file's lines (each
// name in UTF-8 with its CR LF), and the numbered entry the playlist window shows for a song
// ("0001 " and its name) is made only when it is asked for: a pick of a hundred thousand
// songs makes no hundred thousand strings.
class PickedSongs {
public:
    qsizetype size() const { return qsizetype(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    // The bytes of the playlist's lines.
    qsizetype byteSize() const { return m_bytes; }
    QByteArrayView utf8(qsizetype i) const {
        const qsizetype start = i == 0 ? 0 : m_ends[std::size_t(i - 1)];
        return QByteArrayView(m_lines.data() + start, m_ends[std::size_t(i)] - start - 2);
    }
    // The entry of the i-th song: the last four digits of its number (from 1), a blank and
    // its name.
    QString entry(qsizetype i) const;
    QStringList entries() const;
    // The playlist file's bytes, as the store holds them: valid while it is not changed.
    QByteArrayView lines() const { return QByteArrayView(m_lines.data(), m_bytes); }

    // Makes room for songs more songs whose names take at most bytes in all.
    void reserve(qsizetype songs, qsizetype bytes);
    void append(QByteArrayView utf8Name);
    void clear();

private:
    PagedBlock m_lines;
    qsizetype m_bytes = 0;
    std::vector<qsizetype> m_ends; // where each line ends, its CR LF included
};

} // namespace mixgen

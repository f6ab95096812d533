#pragma once

#include "generate/foundsongs.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace mixgen {

// The entry number shown before a picked song: the last four digits of "0000" followed by the
// counter (1 -> "0001", 10000 -> "0000").
QString sequenceNumber(int counter);

// The songs of one pick, in pick order, as their places in the found songs they were drawn
// from. A pick takes its songs out of that store but leaves their names where they lie, so a
// pick of a hundred thousand songs copies no name: the playlist file is written from the
// store, and the numbered entry the playlist window shows for a song ("0001 " and its name)
// is made only when it is asked for.
//
// The found songs must outlive the pick and take in no new song while it is read (that
// would close the gaps the pick left); clearing both together, the pick first, keeps that.
class PickedSongs {
public:
    qsizetype size() const { return qsizetype(m_positions.size()); }
    bool isEmpty() const { return m_positions.empty(); }
    QByteArrayView utf8(qsizetype i) const {
        return m_found->storedUtf8(m_positions[std::size_t(i)]);
    }
    // The entry of the i-th song: the last four digits of its number (from 1), a blank and
    // its name.
    QString entry(qsizetype i) const;
    QStringList entries() const;

    // The pick: the songs at these places of found, in this order.
    void assign(const FoundSongs& found, std::vector<qsizetype> positions);
    void append(const FoundSongs& found, qsizetype position);
    void clear();

private:
    const FoundSongs* m_found = nullptr;
    std::vector<qsizetype> m_positions;
};

} // namespace mixgen

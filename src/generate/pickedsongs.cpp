#include "generate/pickedsongs.h"

#include <utility>

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

void PickedSongs::assign(const FoundSongs& found, std::vector<qsizetype> positions) {
    m_found = &found;
    m_positions = std::move(positions);
}

void PickedSongs::append(const FoundSongs& found, qsizetype position) {
    m_found = &found;
    m_positions.push_back(position);
}

void PickedSongs::clear() {
    m_found = nullptr;
    m_positions.clear();
    m_positions.shrink_to_fit();
}

} // namespace mixgen

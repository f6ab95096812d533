#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace mixgen {

// The found songs, kept compact: each song's path in UTF-8, one after another in one block,
// with where each ends. A QString is made only for a song that is picked or shown, so a
// million found songs take little more than their names' bytes.
class FoundSongs {
public:
    FoundSongs() = default;
    explicit FoundSongs(const QStringList& songs);

    qsizetype size() const { return qsizetype(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    QByteArrayView utf8(qsizetype i) const {
        const qsizetype start = i == 0 ? 0 : m_ends[std::size_t(i - 1)];
        return QByteArrayView(m_bytes.constData() + start, m_ends[std::size_t(i)] - start);
    }
    QString at(qsizetype i) const { return QString::fromUtf8(utf8(i)); }

    void append(QByteArrayView utf8Path) {
        m_bytes.append(utf8Path);
        m_ends.push_back(m_bytes.size());
    }
    void clear();
    // Keeps the songs for which keep(index) is true, in their order.
    void keepOnly(const std::function<bool(qsizetype)>& keep);

    QStringList toStringList() const;

private:
    QByteArray m_bytes;
    std::vector<qsizetype> m_ends;
};

} // namespace mixgen

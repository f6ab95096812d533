#pragma once

#include "generate/foundsongs.h"

#include <QAbstractListModel>

namespace mixgen {

// The found songs as the hidden list shows them: read from the compact store, a row's text
// made only when a view asks for it.
class FoundSongsModel final : public QAbstractListModel {
public:
    FoundSongsModel(const FoundSongs& songs, QObject* parent)
        : QAbstractListModel(parent), m_songs(songs) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(qMin<qsizetype>(m_songs.size(), INT_MAX));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_songs.size())
            return {};
        return m_songs.at(index.row());
    }
    // Tells the views that the store was changed as a whole.
    void storeChanged() {
        beginResetModel();
        endResetModel();
    }

private:
    const FoundSongs& m_songs;
};

} // namespace mixgen

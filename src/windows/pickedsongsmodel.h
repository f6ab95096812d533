#pragma once

#include "generate/pickedsongs.h"

#include <QAbstractListModel>

namespace mixgen {

// The picked songs as the visible list shows them: "0001 " and the song, a row's text made
// only when a view asks for it.
class PickedSongsModel final : public QAbstractListModel {
public:
    PickedSongsModel(const PickedSongs& songs, QObject* parent)
        : QAbstractListModel(parent), m_songs(songs) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(qMin<qsizetype>(m_songs.size(), INT_MAX));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_songs.size())
            return {};
        return m_songs.entry(index.row());
    }
    // Tells the views that the store was changed as a whole.
    void storeChanged() {
        beginResetModel();
        endResetModel();
    }

private:
    const PickedSongs& m_songs;
};

} // namespace mixgen

#pragma once

#include "generate/foundsongs.h"
#include "generate/pickedsongs.h"

#include <QAbstractListModel>

namespace mixgen {

// A compact song store as a list shows it: a row's text is made from the store only when a
// view asks for it, so a list of a million songs costs no string until it is seen.
template <typename Store, QString (Store::*RowText)(qsizetype) const>
class SongStoreModel final : public QAbstractListModel {
public:
    SongStoreModel(const Store& songs, QObject* parent)
        : QAbstractListModel(parent), m_songs(songs) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(qMin<qsizetype>(m_songs.size(), INT_MAX));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_songs.size())
            return {};
        return (m_songs.*RowText)(index.row());
    }
    // Tells the views that the store was changed as a whole.
    void storeChanged() {
        beginResetModel();
        endResetModel();
    }

private:
    const Store& m_songs;
};

// The hidden list: the songs found and not picked, as they stand.
using FoundSongsModel = SongStoreModel<FoundSongs, &FoundSongs::at>;
// The visible list: "0001 " and the song, for each song picked.
using PickedSongsModel = SongStoreModel<PickedSongs, &PickedSongs::entry>;

} // namespace mixgen

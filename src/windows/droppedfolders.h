#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace mixgen {

// At most this many items of one drop are looked at.
inline constexpr qsizetype kMaxDroppedItems = 5000;

struct DroppedFolders {
    // The search path text with the dropped folders appended.
    QString pathText;
    // The drop held more items than are looked at: the rest were left alone.
    bool overLimit = false;
};

// Appends to pathText, each after a ";" (none before the first when the text is empty), every
// item among the first kMaxDroppedItems that counts as a folder, exactly as it was dropped.
// Items that are no local files, or no folders, are skipped; duplicates are kept.
DroppedFolders appendDroppedFolders(const QString& pathText, const QList<QUrl>& items);

} // namespace mixgen

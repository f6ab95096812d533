#include "windows/droppedfolders.h"

#include "platform/droppeditem.h"

namespace mixgen {

DroppedFolders appendDroppedFolders(const QString& pathText, const QList<QUrl>& items) {
    DroppedFolders result{pathText, items.size() > kMaxDroppedItems};
    const qsizetype looked = std::min(items.size(), kMaxDroppedItems);
    for (qsizetype n = 0; n < looked; ++n) {
        const QUrl& item = items[n];
        if (!item.isLocalFile())
            continue;
        const QString path = item.toLocalFile();
        if (!droppedItemCountsAsFolder(path))
            continue;
        if (!result.pathText.isEmpty())
            result.pathText += u';';
        result.pathText += path;
    }
    return result;
}

} // namespace mixgen

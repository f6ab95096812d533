#include "generate/songsearch.h"

#include "platform/folders.h"

namespace mixgen {

SplitPaths splitPathList(const QString& pathList) {
    SplitPaths result;
    // Every segment ends at a ";" once one closes the list, so the empty text after the last
    // ";" is not a segment.
    QString working = pathList;
    if (!working.endsWith(QLatin1Char(';')))
        working.append(QLatin1Char(';'));
    QStringList segments = working.split(QLatin1Char(';'));
    segments.removeLast();

    for (const QString& segment : segments) {
        if (result.paths.size() == kMaxSearchPaths) {
            result.overLimit = true;
            break;
        }
        const QString path = withTrailingSlash(segment);
        if (path != QLatin1String("/"))
            result.paths.append(path);
    }
    return result;
}

} // namespace mixgen

#include "generate/songsearch.h"

#include "platform/folders.h"

namespace mixgen {

namespace {

bool holdsLineBreakOrNul(const QString& text) {
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

// "//music///rock" names the same folder as "/music/rock"; a run kept would be repeated in
// every listed path.
QString withSingleSlashes(const QString& path) {
    if (!path.contains(QLatin1String("//")))
        return path;
    QString single;
    single.reserve(path.size());
    for (const QChar c : path) {
        if (c != u'/' || !single.endsWith(u'/'))
            single.append(c);
    }
    return single;
}

} // namespace

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
        if (holdsLineBreakOrNul(segment)) {
            result.unsearchable.append(segment);
            continue;
        }
        const QString path = withTrailingSlash(withSingleSlashes(segment));
        if (path != QLatin1String("/"))
            result.paths.append(path);
    }
    return result;
}

QString unsearchableFoldersText(const QStringList& folders) {
    // Shown with the breaks made visible, so the message itself keeps its lines.
    constexpr qsizetype kNamesShown = 5;
    QString text = QStringLiteral("These folders cannot be searched: their names hold a line "
                                  "break. They were skipped.\r\n");
    for (qsizetype i = 0; i < folders.size() && i < kNamesShown; ++i) {
        QString shown = folders[i];
        shown.replace(u'\r', QLatin1String("<CR>"))
            .replace(u'\n', QLatin1String("<LF>"))
            .replace(QChar(u'\0'), QLatin1String("<NUL>"));
        text += QStringLiteral("\r\n") + shown;
    }
    if (folders.size() > kNamesShown)
        text += QStringLiteral("\r\n(and %1 more)").arg(folders.size() - kNamesShown);
    return text;
}

} // namespace mixgen

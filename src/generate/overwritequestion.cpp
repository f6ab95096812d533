#include "generate/playlistwriter.h"

#include "platform/messages.h"
#include "platform/nameencoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <sys/stat.h>

namespace mixgen {

namespace {

enum class PathKind { Regular, Other, Missing, Untestable };

PathKind kindOf(const QString& path) {
    struct stat info {};
    if (::stat(encodeFileName(path).constData(), &info) == 0)
        return S_ISREG(info.st_mode) ? PathKind::Regular : PathKind::Other;
    // A missing name, or a file where a folder should be, simply holds no playlist. Anything
    // else (a name too long, a folder that may not be searched, a loop of links) leaves the
    // question open.
    return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Untestable;
}

// "*" stands for any run of characters, "?" for exactly one; everything else for itself.
bool fitsPattern(const QString& name, const QString& pattern) {
    qsizetype n = 0, p = 0;
    qsizetype starAt = -1, nameAtStar = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            nameAtStar = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++nameAtStar;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

} // namespace

bool normalFileExists(const QString& path, bool* cannotTell) {
    bool untestable = false;
    bool exists = false;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (path.isEmpty() || path.contains(QChar(0)) || encodeFileName(name).size() > NAME_MAX) {
        untestable = true;
    } else if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?'))) {
        const PathKind kind = kindOf(path);
        exists = kind == PathKind::Regular;
        untestable = kind == PathKind::Untestable;
    } else {
        // A pattern: the directory lookup finds any regular file of the folder that fits it.
        const QString folder = slash < 0 ? QStringLiteral(".") : path.left(qMax(slash, 1));
        const PathKind kind = kindOf(folder);
        if (kind == PathKind::Untestable ||
            (kind == PathKind::Other && !QFileInfo(folder).isReadable())) {
            untestable = true;
        } else if (kind == PathKind::Other) {
            const QDir dir(folder);
            for (const QString& entry : dir.entryList(QDir::Files)) {
                if (fitsPattern(entry, name) && kindOf(dir.filePath(entry)) == PathKind::Regular) {
                    exists = true;
                    break;
                }
            }
        }
    }
    if (cannotTell)
        *cannotTell = untestable;
    return exists;
}

OverwriteOutcome askOverwrite(const QString& outputPath, bool yesSwitch, bool commandLineRun) {
    bool badName = false;
    const bool exists = normalFileExists(outputPath, &badName);
    if (badName) {
        MsgBox(QStringLiteral("Bad file name."), MsgButtons::Ok, MsgIcon::Exclamation);
        return OverwriteOutcome::BadName;
    }
    if (!exists || yesSwitch)
        return OverwriteOutcome::GoOn;
    switch (MsgBox(QStringLiteral("Playlist file already exists! Overwrite file?"),
                   MsgButtons::YesNoCancel, MsgIcon::Information)) {
    case MsgAnswer::Yes:
        return OverwriteOutcome::GoOn;
    case MsgAnswer::Cancel:
        return commandLineRun ? OverwriteOutcome::EndProgram : OverwriteOutcome::BackToMain;
    default:
        return OverwriteOutcome::BackToMain;
    }
}

} // namespace mixgen

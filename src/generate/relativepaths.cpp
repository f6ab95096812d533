#include "generate/relativepaths.h"

#include <QDir>
#include <QFileInfo>

#include <string>

#include <sys/stat.h>

namespace mixgen {

RelativePaths::RelativePaths(const QString& playlistPath) {
    // A playlist that is a link is written where the link points, and is read from there.
    const QString real = QFileInfo(playlistPath).canonicalFilePath();
    const QString folder = QFileInfo(real.isEmpty() ? QFileInfo(playlistPath).absolutePath()
                                                    : QFileInfo(real).absolutePath())
                               .canonicalFilePath();
    struct stat info {};
    if (folder.isEmpty() || ::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return;
    m_folder = QFile::encodeName(folder);
    if (!m_folder.endsWith('/'))
        m_folder += '/';
    m_volume = info.st_dev;
    m_known = true;
}

QByteArray RelativePaths::pathFor(QByteArrayView utf8Song) const {
    if (!m_known)
        return utf8Song.toByteArray();
    const std::string song(utf8Song.data(), std::size_t(utf8Song.size()));
    struct stat info {};
    return pathFor(utf8Song, ::stat(song.c_str(), &info) == 0 && info.st_dev == m_volume);
}

QByteArray RelativePaths::pathFor(QByteArrayView utf8Song, bool sameVolume) const {
    if (!m_known || !sameVolume || !utf8Song.startsWith('/'))
        return utf8Song.toByteArray();
    // The folders both paths share, whole names only.
    qsizetype common = 0;
    for (qsizetype i = 0; i < m_folder.size() && i < utf8Song.size(); ++i) {
        if (m_folder[i] != utf8Song[i])
            break;
        if (m_folder[i] == '/')
            common = i + 1;
    }
    QByteArray relative;
    for (qsizetype i = common; i < m_folder.size(); ++i)
        if (m_folder[i] == '/')
            relative += "../";
    relative += utf8Song.sliced(common);
    return relative;
}

} // namespace mixgen

#include "app/filemanageractions.h"

#include "platform/executablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace mixgen {

namespace {

// Every action file the program makes carries this mark; only such files are replaced or
// removed.
const QByteArray kMark = "Made by MP3 Tunepicker for its folder context-menu entry";

QString xdgFolder(const char* variable, const QString& fallback) {
    const QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || QDir::isRelativePath(base))
        return QDir::homePath() + fallback;
    return base;
}

QString dataHome() {
    return xdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString configHome() {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

// "Play Random Playlist" -> "play-random-playlist".
QString slug(const QString& menuText) {
    QString text = menuText.toLower();
    text.replace(u' ', u'-');
    return text;
}

// One argument of a desktop file's Exec line: quoted when it holds a reserved character,
// with the characters that quoting reserves escaped; "%" doubled, as field codes use it.
QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    QString inner;
    for (const QChar c : argument) {
        if (reserved.contains(c))
            quote = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            inner += u'\\';
        inner += c;
    }
    inner.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return quote ? u'"' + inner + u'"' : inner;
}

// A desktop file's string value: backslashes doubled (and control characters spelled out).
QString desktopValue(const QString& text) {
    QString value;
    for (const QChar c : text) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

// A word for a POSIX shell script, taken literally: in single quotes, each quote spelled
// '\''.
QString shellWord(const QString& text) {
    QString word = text;
    word.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return u'\'' + word + u'\'';
}

bool isOurs(const QString& path) {
    // Only an ordinary file is read: a pipe would block, a link is not ours.
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(4096).contains(kMark);
}

bool fail(QString* why, const QString& reason) {
    if (why)
        *why = reason;
    return false;
}

} // namespace

QStringList fileManagerActionFiles(const QString& menuText, bool allPlaces) {
    QStringList files = {
        dataHome() + QStringLiteral("/kio/servicemenus/mixgen-") + slug(menuText) +
            QStringLiteral(".desktop"),
        dataHome() + QStringLiteral("/nautilus/scripts/") + menuText,
    };
    const QString caja = configHome() + QStringLiteral("/caja");
    if (allPlaces || QFileInfo(caja).isDir())
        files.append(caja + QStringLiteral("/scripts/") + menuText);
    const QString nemo = dataHome() + QStringLiteral("/nemo");
    if (allPlaces || QFileInfo(nemo).isDir())
        files.append(nemo + QStringLiteral("/scripts/") + menuText);
    return files;
}

QByteArray dolphinServiceMenu(const QString& program, const QString& menuText) {
    // Dolphin expands %f once per selected folder: one instance of the program each.
    const QString action = QStringLiteral("mixgen-") + slug(menuText);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("# ") + QString::fromLatin1(kMark) + QStringLiteral(".\n");
    text += QStringLiteral("Type=Service\n");
    text += QStringLiteral("MimeType=inode/directory;\n");
    text += QStringLiteral("X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n");
    // Straight in the context menu, not in its "Actions" submenu.
    text += QStringLiteral("X-KDE-Priority=TopLevel\n");
    text += QStringLiteral("Actions=") + action + QStringLiteral(";\n\n");
    text += QStringLiteral("[Desktop Action ") + action + QStringLiteral("]\n");
    text += QStringLiteral("Name=") + desktopValue(menuText) + u'\n';
    text += QStringLiteral("Icon=audio-x-generic\n");
    text += QStringLiteral("Exec=") +
            desktopValue(execArgument(program) + QStringLiteral(" --entry ") +
                         execArgument(menuText) + QStringLiteral(" %f")) +
            u'\n';
    return text.toUtf8();
}

QByteArray folderScript(const QString& program, const QString& menuText) {
    // The file manager runs the script in the folder it shows, with the selected items as
    // arguments (names relative to that folder). Each folder stays one quoted word: no name
    // is ever read as code.
    QString text;
    text += QStringLiteral("#!/bin/sh\n");
    text += QStringLiteral("# ") + QString::fromLatin1(kMark) + QStringLiteral(" \"") + menuText +
            QStringLiteral("\".\n");
    text += QStringLiteral("# One instance per selected folder, started together, so that "
                           "they make one playlist.\n");
    text += QStringLiteral("for folder in \"$@\"; do\n");
    text += QStringLiteral("    case $folder in\n");
    text += QStringLiteral("    /*) ;;\n");
    text += QStringLiteral("    *) folder=$PWD/$folder ;;\n");
    text += QStringLiteral("    esac\n");
    text += QStringLiteral("    ") + shellWord(program) + QStringLiteral(" --entry ") +
            shellWord(menuText) + QStringLiteral(" \"$folder\" &\n");
    text += QStringLiteral("done\n");
    return text.toUtf8();
}

bool writeFileManagerActions(const QString& program, const QString& menuText, QString* why) {
    const QStringList files = fileManagerActionFiles(menuText);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& file = files[i];
        QString reason;
        const QFileInfo info(file);
        if ((info.exists() || info.isSymLink()) && !isOurs(file))
            reason = QStringLiteral("%1 is a file of your own; it was left as it is.").arg(file);
        else if (!writeExecutableFile(file,
                                      i == 0 ? dolphinServiceMenu(program, menuText)
                                             : folderScript(program, menuText),
                                      &reason)) {
            // reason says why
        } else {
            continue;
        }
        removeFileManagerActions(menuText);
        return fail(why, reason);
    }
    return true;
}

bool removeFileManagerActions(const QString& menuText, QString* why) {
    bool removedAll = true;
    for (const QString& file : fileManagerActionFiles(menuText, true)) {
        if (!isOurs(file))
            continue;
        QString reason;
        if (!removeFileAt(file, &reason)) {
            removedAll = false;
            if (why)
                *why = reason;
        }
    }
    return removedAll;
}

} // namespace mixgen

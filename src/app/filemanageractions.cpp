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

// An action is a few hundred bytes; a file much larger is not one of ours.
constexpr qint64 kMostActionBytes = 16384;

QByteArray readAction(const QString& path) {
    // Only an ordinary file is read: a pipe would block, a link is not ours.
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kMostActionBytes);
}

bool isOurs(const QString& path) {
    return readAction(path).left(4096).contains(kMark);
}

// What the action at this place of fileManagerActionFiles() holds: the Dolphin service menu
// first, scripts after it.
QByteArray actionBytes(qsizetype place, const QString& program, const QString& menuText) {
    return place == 0 ? dolphinServiceMenu(program, menuText) : folderScript(program, menuText);
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
    // Dolphin puts every selected folder in place of %F: one start of the program for all.
    const QString action = QStringLiteral("mixgen-") + slug(menuText);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("# ") + QString::fromLatin1(kMark) + QStringLiteral(".\n");
    text += QStringLiteral("Type=Service\n");
    text += QStringLiteral("MimeType=inode/directory;\n");
    text += QStringLiteral("X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n");
    // Straight in the context menu, not in its "Actions" submenu.
    text += QStringLiteral("X-KDE-Priority=TopLevel\n");
    // Once the program is removed, the file manager hides the action instead of offering a
    // dead one (Dolphin reads the path as it stands, "$" included).
    text += QStringLiteral("TryExec=") + desktopValue(program) + u'\n';
    text += QStringLiteral("Actions=") + action + QStringLiteral(";\n\n");
    text += QStringLiteral("[Desktop Action ") + action + QStringLiteral("]\n");
    text += QStringLiteral("Name=") + desktopValue(menuText) + u'\n';
    text += QStringLiteral("Icon=audio-x-generic\n");
    text += QStringLiteral("Exec=") +
            desktopValue(execArgument(program) + QStringLiteral(" --entry ") +
                         execArgument(menuText) + QStringLiteral(" %F")) +
            u'\n';
    return text.toUtf8();
}

QByteArray folderScript(const QString& program, const QString& menuText) {
    // The file manager runs the script in the folder it shows, with the selected items as
    // arguments (names relative to that folder), and with none on the folder's empty space.
    // Each folder stays one quoted word: no name is ever read as code.
    QString text;
    text += QStringLiteral("#!/bin/sh\n");
    text += QStringLiteral("# ") + QString::fromLatin1(kMark) + QStringLiteral(" \"") + menuText +
            QStringLiteral("\".\n");
    text += QStringLiteral("program=") + shellWord(program) + u'\n';
    text += QStringLiteral("# Once the program is removed, the action ends quietly.\n");
    text += QStringLiteral("[ -x \"$program\" ] || exit 0\n");
    text += QStringLiteral("# The empty space of a local folder: that folder.\n");
    text += QStringLiteral("if [ $# -eq 0 ]; then\n");
    text += QStringLiteral("    uri=${NAUTILUS_SCRIPT_CURRENT_URI-${NEMO_SCRIPT_CURRENT_URI-"
                           "${CAJA_SCRIPT_CURRENT_URI-}}}\n");
    text += QStringLiteral("    case $uri in\n");
    text += QStringLiteral("    '' | file://*) set -- \"$PWD\" ;;\n");
    text += QStringLiteral("    *) set -- \"$uri\" ;;\n");
    text += QStringLiteral("    esac\n");
    text += QStringLiteral("fi\n");
    text += QStringLiteral("for folder do\n");
    text += QStringLiteral("    case $folder in\n");
    text += QStringLiteral("    /*) ;;\n");
    text += QStringLiteral("    *) folder=$PWD/$folder ;;\n");
    text += QStringLiteral("    esac\n");
    text += QStringLiteral("    set -- \"$@\" \"$folder\"\n");
    text += QStringLiteral("    shift\n");
    text += QStringLiteral("done\n");
    text += QStringLiteral("# Every selected folder in one start of the program.\n");
    text += QStringLiteral("exec \"$program\" --entry ") + shellWord(menuText) +
            QStringLiteral(" \"$@\"\n");
    return text.toUtf8();
}

QStringList outdatedFileManagerActions(const QString& program, const QString& menuText) {
    QStringList outdated;
    const QStringList files = fileManagerActionFiles(menuText);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (isOurs(files[i]) && readAction(files[i]) != actionBytes(i, program, menuText))
            outdated.append(files[i]);
    }
    return outdated;
}

bool updateFileManagerActions(const QString& program, const QString& menuText, QString* why) {
    const QStringList files = fileManagerActionFiles(menuText);
    const QStringList outdated = outdatedFileManagerActions(program, menuText);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (outdated.contains(files[i]) &&
            !writeExecutableFile(files[i], actionBytes(i, program, menuText), why))
            return false;
    }
    return true;
}

bool writeFileManagerActions(const QString& program, const QString& menuText, QString* why) {
    const QStringList files = fileManagerActionFiles(menuText);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& file = files[i];
        QString reason;
        const QFileInfo info(file);
        if ((info.exists() || info.isSymLink()) && !isOurs(file))
            reason = QStringLiteral("%1 is a file of your own; it was left as it is.").arg(file);
        else if (!writeExecutableFile(file, actionBytes(i, program, menuText), &reason)) {
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

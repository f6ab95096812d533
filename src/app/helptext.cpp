#include "app/helptext.h"

#include "app/commandline.h"
#include "platform/appinfo.h"

#include <cstdio>

namespace mixgen {

namespace {

// The switch column is 27 characters wide, so each description starts in column 28.
constexpr qsizetype kSwitchColumnWidth = 27;

QString switchLine(const char* name, const char* description) {
    return QString::fromLatin1(name).leftJustified(kSwitchColumnWidth, u' ') +
           QString::fromLatin1(description);
}

} // namespace

QString commandLineHelpText() {
    const QStringList lines = {
        QStringLiteral("Command line parameters:"),
        QString(),
        switchLine("/P:[path]", "Path to search for mp3's"),
        switchLine("/O:{path}[filename]", "Output file (.M3U)"),
        switchLine("/N:[n]", "Number of songs"),
        switchLine("/A", "Automatically Open Playlist"),
        switchLine("/E", "Automatically Enqueue playlist"),
        switchLine("/Y", "Yes to all questions"),
        switchLine("/S", "Silent mode (only messages)"),
        switchLine("/LOADER", "Loader (multiple folders handler)"),
        switchLine("/?", "Display this information"),
        QString(),
        QStringLiteral("%1 is free software: copy it and share it with anyone you like.")
            .arg(QLatin1String(kAppTitle)),
        // The playlist style's switches stand below the lines above, which stay as they are.
        QString(),
        switchLine("/T:[minutes]", "Playlist length in minutes (1-6000)"),
        switchLine("/B", "Balance: same chance for every folder"),
        switchLine("/X", "Extended M3U (titles and lengths)"),
        switchLine("/R", "Relative paths (playlists that travel)"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString usageText() {
    const QStringList lines = {
        QStringLiteral(
            "Usage: mixgen [/P:folder[;folder...]] [/O:file] [/N:n] [/A] [/E] [/Y] [/S]"),
        QStringLiteral("              [/T:minutes] [/B] [/X] [/R]"),
        QStringLiteral("       mixgen /?"),
        QStringLiteral("       mixgen --help | -h | --version"),
        QStringLiteral("       mixgen --entry <entry> <folder>..."),
        QString(),
        QStringLiteral("%1 makes a random playlist (.M3U) of the songs found below the given "
                       "folders.")
            .arg(QLatin1String(kAppTitle)),
        QStringLiteral("Without arguments it opens its main window."),
        QString(),
        QStringLiteral("  /P:folder[;folder...]  folders to search; may hold blanks, runs up to "
                       "the next switch"),
        QStringLiteral("  /O:file                output playlist; a name without a leading / is "
                       "put in the"),
        QStringLiteral("                         /P: folder, .M3U is added; ends at the first "
                       "blank (default MIXGEN)"),
        QStringLiteral("  /N:n                   number of songs (1000 when missing or not above "
                       "0)"),
        QStringLiteral("  /A                     open the playlist when it is written"),
        QStringLiteral("  /E                     enqueue the playlist in the player (wins over "
                       "/A)"),
        QStringLiteral("  /Y                     overwrite an existing playlist without asking"),
        QStringLiteral("  /S                     silent: no windows but messages; end after the "
                       "run"),
        QStringLiteral("  /LOADER                let instances started together for several "
                       "folders make one playlist"),
        QStringLiteral("  /?                     show the command-line help"),
        QStringLiteral("  /T:minutes             a playlist of about this length (1 to 6000 "
                       "minutes; /N: still caps"),
        QStringLiteral("                         the songs; /T:0 switches a stored length off)"),
        QStringLiteral("  /B                     balance: every folder has the same chance to "
                       "give the next song"),
        QStringLiteral("  /X                     extended M3U: #EXTM3U and an #EXTINF line "
                       "(length, artist - title)"),
        QStringLiteral("  /R                     paths relative to the playlist's folder where "
                       "they share a volume"),
        QStringLiteral("  --help, -h             show this text and end"),
        QStringLiteral("  --version              show the version and end"),
        QStringLiteral("  --entry <entry> <folder>..."),
        QStringLiteral("                         run the folder context-menu entry named <entry> "
                       "(\"Random"),
        QStringLiteral("                         Playlist\", ...) for the folders: its command "
                       "line from the"),
        QStringLiteral("                         Options window, with the folders joined by ; "
                       "for %1; the file"),
        QStringLiteral("                         managers' actions start the program this way, "
                       "once for all"),
        QString(),
        QStringLiteral("Switches may be written in any case. A switch counts only at the start "
                       "or after a blank."),
        QStringLiteral("The choices of the \"Playlist style\" window (Options) apply to every "
                       "request; /T:, /B,"),
        QStringLiteral("/X and /R on the command line win over them."),
        QStringLiteral("Options starting with \"-\" stand before the request. Without a display "
                       "the program needs a request."),
        QStringLiteral("Example: mixgen \"/P:/home/me/My Music;/mnt/usb/songs\" /O:party /N:50 "
                       "/Y"),
    };
    return lines.join(u'\n');
}

QString versionLine() {
    return QLatin1String(kAppTitle) + u' ' + versionText();
}

QString terminalInfoText(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == u"--help" || argument == u"-h")
            return usageText();
        if (argument == u"--version")
            return versionLine();
    }
    return {};
}

TerminalAnswer answerBeforeWindows(const QStringList& arguments, bool withoutDisplay) {
    if (arguments.value(0) == u"--entry")
        return {};
    const QString info = terminalInfoText(arguments);
    if (!info.isEmpty())
        return {info, false, 0};
    for (const QString& argument : arguments) {
        if (!argument.startsWith(u'-'))
            break;
        if (argument.size() > 1 && !argument.contains(u'?'))
            return {QStringLiteral("mixgen: unknown option '%1'; 'mixgen --help' lists what the "
                                   "program understands")
                        .arg(argument),
                    true, 2};
    }
    if (withoutDisplay && joinCommandLine(arguments).trimmed().isEmpty())
        return {QStringLiteral("mixgen: the windows of %1 need a display, and neither DISPLAY "
                               "nor WAYLAND_DISPLAY is set.\n"
                               "Without a display, make a playlist with a request, for example:\n"
                               "  mixgen \"/P:$HOME/Music /O:$HOME/party /N:50 /Y\"\n"
                               "'mixgen --help' lists every switch.")
                    .arg(QLatin1String(kAppTitle)),
                true, 2};
    return {};
}

void printOnTerminal(const QString& text, bool onError) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!lines.endsWith(u'\n'))
        lines += u'\n';
    const QByteArray bytes = lines.toUtf8();
    std::FILE* stream = onError ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace mixgen

#include "app/players.h"

#include <QFileInfo>

#include <array>

namespace mixgen {

namespace {

struct KnownPlayer {
    const char* fileName;
    const char* enqueueSwitches; // blank-separated
};

// A Linux player given "/ADD" would take it for a file name, so these get their own switches.
constexpr std::array<KnownPlayer, 7> kKnownPlayers = {{
    {"audacious", "-e"},
    {"qmmp", "-e"},
    {"vlc", "--one-instance --playlist-enqueue"},
    {"strawberry", "-a"},
    {"clementine", "-a"},
    {"deadbeef", "--queue"},
    {"smplayer", "-add-to-playlist"},
}};

} // namespace

QStringList playCommand(const QString& player, const QString& playlist) {
    return {player, playlist};
}

QStringList enqueueCommand(const QString& player, const QString& playlist) {
    const QString fileName = QFileInfo(player).fileName();
    for (const KnownPlayer& known : kKnownPlayers) {
        if (fileName == QLatin1String(known.fileName))
            return QStringList{player} + QString::fromLatin1(known.enqueueSwitches).split(u' ') +
                   QStringList{playlist};
    }
    return {player, QStringLiteral("/ADD"), playlist};
}

} // namespace mixgen

#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace mixgen {

class frmFile;

// A place where a player is commonly installed: its executable and the folder a picker
// starts in.
struct FixedPlayerPlace {
    QString file;
    QString folder;
};

// The usual players that play and enqueue playlists, in the order they are tried.
QList<FixedPlayerPlace> fixedPlayerPlaces();

// The first place whose executable exists as an ordinary file.
std::optional<FixedPlayerPlace> firstFixedPlayer(const QList<FixedPlayerPlace>& places);

// The options window's Browse button: looks for the player's executable and lets the user
// choose it, with the program's own picker when internalDialog is set (the on-screen state of
// the options window's "Internal dialogs only" box) and picker is given, otherwise with the
// system's open dialog. beforePicker runs just before the own picker is prepared (the options
// window saves its options there and marks the picker as open). The chosen path lands in
// txtWinamp; nothing is saved here.
void searchForPlayer(frmFile* picker, QWidget* dialogParent, QLineEdit* txtWinamp,
                     bool internalDialog, const std::function<void()>& beforePicker,
                     const QList<FixedPlayerPlace>& places = fixedPlayerPlaces());

// Prepares the program's own picker to choose the player: its mode, captions, start folder and
// proposed name. Does not show it.
void preparePlayerPicker(frmFile& picker, const QString& playerText,
                         const QList<FixedPlayerPlace>& places);

} // namespace mixgen

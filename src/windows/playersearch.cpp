#include "windows/playersearch.h"

#include "windows/frmfile.h"
#include "windows/pickerlists.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace mixgen {

namespace {

const QString kRoot = QStringLiteral("/");

// The system's open dialog; the filter keeps its name "Winamp" and matches every file, as
// executables here have no extension. A cancel leaves txtWinamp as it was.
void browseWithSystemDialog(QWidget* parent, QLineEdit* txtWinamp,
                            const QList<FixedPlayerPlace>& places) {
    const std::optional<FixedPlayerPlace> found = firstFixedPlayer(places);
    QFileDialog dialog(parent, QStringLiteral("Select Winamp Executable"),
                       found ? found->folder : kRoot, QStringLiteral("Winamp (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (found)
        dialog.selectFile(found->file);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    txtWinamp->setText(dialog.selectedFiles().constFirst());
}

} // namespace

QList<FixedPlayerPlace> fixedPlayerPlaces() {
    return {{QStringLiteral("/usr/bin/audacious"), QStringLiteral("/usr/bin")},
            {QStringLiteral("/usr/bin/vlc"), QStringLiteral("/usr/bin")}};
}

std::optional<FixedPlayerPlace> firstFixedPlayer(const QList<FixedPlayerPlace>& places) {
    for (const FixedPlayerPlace& place : places) {
        if (QFileInfo(place.file).isFile())
            return place;
    }
    return std::nullopt;
}

void preparePlayerPicker(frmFile& picker, const QString& playerText,
                         const QList<FixedPlayerPlace>& places) {
    picker.setTag(QStringLiteral("2"));
    picker.setWindowTitle(QStringLiteral("Set Winamp executable"));
    picker.cmdSet->setText(QStringLiteral("&Set"));
    picker.cmdSet->setToolTip(QStringLiteral("Set Winamp executable"));
    picker.cmdCancel->setToolTip(QStringLiteral("Cancel setting Winamp executable"));
    picker.txtFilename->clear();
    picker.txtPath->clear();
    // The player's list shows the files that can be run: executables here have no extension.
    picker.File1->setExecutablesOnly(true);

    // Each step that fails leaves the picker where it was, and the next one runs.
    if (playerText.size() > 3) {
        picker.Drive1->setDrive(playerText);
        picker.File1->setFileName(playerText);
        picker.Dir1->setPath(picker.File1->path());
    } else if (const std::optional<FixedPlayerPlace> found = firstFixedPlayer(places)) {
        picker.Drive1->setDrive(kRoot);
        picker.Dir1->setPath(found->folder);
        // The player found is chosen in the list, so the user sees which one was found.
        picker.File1->setFileName(found->file);
    } else {
        picker.Drive1->setDrive(kRoot);
        picker.Dir1->setPath(kRoot);
        picker.File1->setPath(kRoot);
    }
    picker.txtFilename->setText(picker.File1->fileName());
    picker.File1->setPattern(QStringLiteral("WINAMP*.EXE"));
}

void searchForPlayer(frmFile* picker, QWidget* dialogParent, QLineEdit* txtWinamp,
                     bool internalDialog, const std::function<void()>& beforePicker,
                     const QList<FixedPlayerPlace>& places) {
    if (!internalDialog || !picker) {
        browseWithSystemDialog(dialogParent, txtWinamp, places);
    } else {
        if (beforePicker)
            beforePicker();
        preparePlayerPicker(*picker, txtWinamp->text(), places);
        picker->setPlayerBox(txtWinamp);
        picker->exec();
    }
    QApplication::processEvents();
}

} // namespace mixgen

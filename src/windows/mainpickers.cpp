// The main window's two Browse buttons: the folder picker for the search paths and the
// chooser of the output playlist.
#include "windows/frmmain.h"

#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "windows/frmfile.h"
#include "windows/frmfolder.h"
#include "windows/pickerlists.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace mixgen {

namespace {

const QString kRoot = QStringLiteral("/");
const QString kProposedName = QStringLiteral("MIXGEN.M3U");

// The own picker, prepared to save a playlist with the output box's text t.
void preparePlaylistPicker(frmFile& picker, const QString& t, const QString& pathText) {
    // The name after the last "/" of t, unless there is none.
    QString proposed = kProposedName;
    const qsizetype slash = t.lastIndexOf(u'/');
    if (slash >= 0) {
        const QString name = t.mid(slash + 1);
        picker.txtFilename->setText(name);
        if (!name.isEmpty())
            proposed = name;
    }

    picker.setTag(QStringLiteral("1"));
    picker.setWindowTitle(QStringLiteral("Save playlist"));
    picker.cmdSet->setText(QStringLiteral("&Save"));
    picker.cmdSet->setToolTip(QStringLiteral("Save playlist"));
    picker.cmdCancel->setToolTip(QStringLiteral("Cancel saving playlist"));
    picker.File1->setExecutablesOnly(false);
    picker.File1->setPattern(QStringLiteral("*.M3U;*.M3U8"));

    // A place that does not exist (a path list of several folders) leaves the lists as they
    // were; the next step runs all the same.
    if (t.size() > 5) {
        picker.Drive1->setDrive(t);
        picker.File1->setFileName(t);
        picker.Dir1->setPath(picker.File1->path());
        picker.txtFilename->setText(proposed);
    } else if (pathText.size() > 2) {
        picker.Drive1->setDrive(pathText);
        picker.File1->setFileName(pathText);
        picker.Dir1->setPath(picker.File1->path());
        picker.txtFilename->setText(kProposedName);
    } else {
        picker.Drive1->setDrive(kRoot);
        picker.Dir1->setPath(kRoot);
        picker.File1->setPath(kRoot);
        picker.txtFilename->setText(kProposedName);
    }
}

// The system's save dialog. A cancel leaves the output box as it was.
void chooseWithSystemDialog(QWidget* parent, QComboBox* cboOutput, const QString& pathText) {
    const QString t = cboOutput->currentText();
    QFileDialog dialog(parent, QStringLiteral("Choose output file"), QString(),
                       QStringLiteral("Playlists (*.m3u *.m3u8)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The playlist window asks before it writes over a playlist.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (t.size() > 4) {
        if (t.startsWith(u'/'))
            dialog.setDirectory(QFileInfo(t).path());
        dialog.selectFile(t);
    } else {
        dialog.setDirectory(pathText);
        dialog.selectFile(kProposedName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    cboOutput->setEditText(dialog.selectedFiles().constFirst());
}

} // namespace

frmFolder& frmMain::folderWindow() {
    if (!m_folder)
        m_folder = std::make_unique<frmFolder>(*this);
    return *m_folder;
}

frmFile& frmMain::fileWindow() {
    if (!m_file)
        m_file = std::make_unique<frmFile>(*this);
    return *m_file;
}

void frmMain::cmdBrowsePath_Click() {
    frmFolder& picker = folderWindow();
    picker.setTag(QStringLiteral("1"));
    picker.exec();
    // Its close box unloads it: the next use makes a new one.
    if (m_folder && m_folder->unloadRequested())
        m_folder.reset();
}

void frmMain::cmdBrowseOutput_Click() {
    const SettingsStore store;
    const QString internal =
        store.GetSetting(QLatin1String(keys::kSettings), QLatin1String(keys::kInternalDlg),
                         QLatin1String(keys::kInternalDlgDefault));
    if (internal == u'1') {
        frmFile& picker = fileWindow();
        preparePlaylistPicker(picker, cboOutput->currentText(), cboPath->currentText());
        picker.exec();
    } else {
        chooseWithSystemDialog(this, cboOutput, cboPath->currentText());
    }
    activateWindow();
    QApplication::processEvents();
}

} // namespace mixgen

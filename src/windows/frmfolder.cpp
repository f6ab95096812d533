#include "windows/frmfolder.h"

#include "app/programexit.h"
#include "platform/messages.h"
#include "platform/volumes.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmmain.h"
#include "windows/pickerlists.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace mixgen {

namespace {

const QString kRoot = QStringLiteral("/");

} // namespace

frmFolder::frmFolder(frmMain& main) : QDialog(&main), m_main(main) {
    initWindow();
    initButtons();
    initLists();
    initTabOrder();
    fitToDesktop(this);
    registerWindowUnload(WindowSlot::Folder, [this] {
        m_unloadRequested = true;
        hide();
    });
}

frmFolder::~frmFolder() {
    registerWindowUnload(WindowSlot::Folder, nullptr);
}

void frmFolder::initWindow() {
    setUpFixedWindow(this, 5400, 4500);
    setWindowTitle(QStringLiteral("Choose MP3 folder..."));
    Frame1 = makeFormFrame(this, twipsRect(60, 0, 5280, 4440));
}

void frmFolder::initButtons() {
    cmdCancel = makeButton(Frame1, QStringLiteral("&Cancel"),
                           QStringLiteral("Cancel adding path to search for mp3's"),
                           twipsRect(4185, 3960, 975, 345));
    cmdSet =
        makeButton(Frame1, QStringLiteral("&Add path"),
                   QStringLiteral("Add path to search for mp3's"), twipsRect(120, 3960, 1095, 345));
    cmdSet->setDefault(true);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFolder::cmdCancel_Click);
    connect(cmdSet, &QPushButton::clicked, this, &frmFolder::cmdSet_Click);
}

void frmFolder::initLists() {
    Drive1 = new DriveList(Frame1);
    Drive1->setToolTip(QStringLiteral("Click to select drive"));
    Drive1->setGeometry(twipsRect(120, 120, 5040, 330));
    nameControl(Drive1, QStringLiteral("Drive"));
    connect(Drive1, &DriveList::change, this, &frmFolder::Drive1_Change);

    Dir1 = new FolderList(Frame1);
    Dir1->setToolTip(QStringLiteral("Click to select path"));
    Dir1->setGeometry(twipsRect(120, 540, 5040, 3300));
    nameControl(Dir1, QStringLiteral("Folder"));
    connect(Dir1, &FolderList::entryClicked, this, &frmFolder::Dir1_Click);
    // The drive keeps the folder last shown on it.
    connect(Dir1, &FolderList::change, this, [this] {
        if (!volumeOf(Dir1->path(), {Drive1->drive()}).isEmpty())
            m_driveFolders.insert(Drive1->drive(), Dir1->path());
    });

    txtPath = new QLineEdit(Frame1);
    txtPath->setToolTip(QStringLiteral("Type in the path to search for mp3's here"));
    txtPath->setGeometry(twipsRect(1320, 3975, 2760, 315));
    nameControl(txtPath, QStringLiteral("Path to search for mp3's"));
}

void frmFolder::initTabOrder() {
    setTabOrder(cmdCancel, cmdSet);
    setTabOrder(cmdSet, Drive1);
    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, txtPath);
}

QString frmFolder::currentFolderOf(const QString& drive) const {
    const QString folder = m_driveFolders.value(drive, drive);
    // A folder removed since: the drive's root.
    return QFileInfo(folder).isDir() ? folder : drive;
}

void frmFolder::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Activation runs once the window is on the screen, as its messages need it there.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            Form_Activate();
    });
}

void frmFolder::Form_Activate() {
    // A stick plugged in since the last use shows up; a failed step is skipped.
    Drive1->refresh();
    if (m_tag != u'1')
        return;
    const QString paths = m_main.cboPath->currentText();
    if (paths.size() <= 2) {
        txtPath->clear();
        return;
    }
    if (paths.contains(u';')) {
        txtPath->clear();
        Drive1->setDrive(kRoot);
        Dir1->setPath(kRoot);
        return;
    }
    txtPath->setText(paths);
    Drive1->setDrive(paths);
    Dir1->setPath(paths);
}

void frmFolder::Drive1_Change() {
    const QString drive = Drive1->drive();
    if (volumeIsReady(drive) && Dir1->setPath(currentFolderOf(drive))) {
        txtPath->setText(Dir1->path());
        return;
    }
    Dir1->setPath(kRoot);
    Drive1->setDrive(kRoot);
    MsgBox(QStringLiteral("Drive not ready..."), MsgButtons::Ok, MsgIcon::Information);
}

void frmFolder::Dir1_Click(const QString& fullPath) {
    txtPath->setText(fullPath);
}

void frmFolder::cmdSet_Click() {
    if (m_tag == u'1') {
        const QString chosen = txtPath->text();
        if (chosen.isEmpty()) {
            MsgBox(QStringLiteral("Click on a folder first!"), MsgButtons::Ok, MsgIcon::Critical);
            return;
        }
        QComboBox* box = m_main.cboPath;
        const QString paths = box->currentText();
        // A single path is replaced; once the box holds a ";" each folder is added.
        if (!paths.contains(u';'))
            box->setEditText(chosen + u';');
        else
            box->setEditText(paths.endsWith(u';') ? paths + chosen : paths + u';' + chosen);
    }
    hide();
}

void frmFolder::cmdCancel_Click() {
    hide();
}

void frmFolder::reject() {
    // Esc presses Cancel.
    cmdCancel_Click();
}

void frmFolder::closeEvent(QCloseEvent* event) {
    // The close box unloads the window: the next use starts with a new one.
    m_unloadRequested = true;
    event->accept();
}

} // namespace mixgen

#include "windows/frmfile.h"

#include "app/commandline.h"
#include "app/programexit.h"
#include "platform/appinfo.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/volumes.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmmain.h"
#include "windows/pickerlists.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace mixgen {

namespace {

const QString kRoot = QStringLiteral("/");
constexpr qsizetype kShownFolderMax = 40;
constexpr qsizetype kShownFolderEnd = 13;

// The drive's root as a prefix: "" for "/", so that prefix + "/" + name is never "//name".
QString drivePrefix(const QString& drive) {
    return drive == kRoot ? QString() : drive;
}

// An ordinary, visible file (links followed).
bool isOrdinaryFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.fileName().startsWith(u'.');
}

} // namespace

QString shownFolderText(const QString& folder) {
    const QString text = withTrailingSlash(folder);
    if (text.size() <= kShownFolderMax)
        return text;
    return text.left(kShownFolderEnd) + QStringLiteral(".....") + text.right(kShownFolderEnd);
}

frmFile::frmFile(frmMain& main) : QDialog(&main), m_main(main) {
    initWindow();
    initLists();
    initBoxesAndButtons();
    initTabOrder();
    fitToDesktop(this);
    registerWindowUnload(WindowSlot::File, [this] { hide(); });
}

frmFile::~frmFile() {
    registerWindowUnload(WindowSlot::File, nullptr);
}

void frmFile::initWindow() {
    setUpFixedWindow(this, 6000, 4320);
    setWindowTitle(QLatin1String(kAppTitle));
    Frame1 = makeFormFrame(this, twipsRect(60, 0, 5880, 4260));
}

void frmFile::initLists() {
    Drive1 = new DriveList(Frame1);
    Drive1->setToolTip(QStringLiteral("Click to select drive"));
    Drive1->setGeometry(twipsRect(120, 120, 2760, 330));
    nameControl(Drive1, QStringLiteral("Drive"));
    connect(Drive1, &DriveList::change, this, &frmFile::Drive1_Change);

    Dir1 = new FolderList(Frame1);
    Dir1->setToolTip(QStringLiteral("Click to select path"));
    Dir1->setGeometry(twipsRect(120, 540, 2760, 2880));
    nameControl(Dir1, QStringLiteral("Folder"));
    connect(Dir1, &FolderList::change, this, &frmFile::Dir1_Change);

    File1 = new FileList(Frame1);
    File1->setToolTip(QStringLiteral("Click to select file"));
    File1->setGeometry(twipsRect(3000, 120, 2760, 3300));
    nameControl(File1, QStringLiteral("File"));
    File1->setPattern(QStringLiteral("*.EXE"));
    connect(File1, &FileList::fileClicked, this, &frmFile::File1_Click);
    // A double click takes the file at once.
    connect(File1, &FileList::fileDoubleClicked, this, [this](const QString& name) {
        File1_Click(name);
        cmdSet_Click();
    });
}

void frmFile::initBoxesAndButtons() {
    txtFilename = new QLineEdit(QStringLiteral("MIXGEN.M3U"), Frame1);
    txtFilename->setToolTip(QStringLiteral("Filename"));
    txtFilename->setGeometry(twipsRect(3000, 3510, 2760, 315));
    txtFilename->installEventFilter(this);

    cmdSet =
        makeButton(Frame1, QStringLiteral("&Set"), QString(), twipsRect(3000, 3855, 1335, 345));
    cmdSet->setDefault(true);
    connect(cmdSet, &QPushButton::clicked, this, &frmFile::cmdSet_Click);
    cmdCancel = makeButton(Frame1, QStringLiteral("&Cancel"), QStringLiteral("Cancel"),
                           twipsRect(4425, 3855, 1335, 345));
    connect(cmdCancel, &QPushButton::clicked, this, &frmFile::cmdCancel_Click);

    // Shows where the file lists; typing there would change nothing.
    txtPath = new QLineEdit(Frame1);
    txtPath->setToolTip(QStringLiteral("Path"));
    txtPath->setReadOnly(true);
    txtPath->setGeometry(twipsRect(120, 3510, 2760, 315));
}

void frmFile::initTabOrder() {
    const QList<QWidget*> order = {Drive1, Dir1, File1, txtFilename, cmdSet, cmdCancel, txtPath};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmFile::showFolderText() {
    txtPath->setText(shownFolderText(File1->path()));
}

void frmFile::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            Form_Activate();
    });
}

void frmFile::Form_Activate() {
    // A stick plugged in since the last use shows up.
    Drive1->refresh();
    Dir1_Change();
}

void frmFile::Drive1_Change() {
    const QString drive = Drive1->drive();
    if (volumeIsReady(drive) && Dir1->setPath(drive) && File1->setPath(drive)) {
        showFolderText();
        return;
    }
    Dir1->setPath(kRoot);
    Drive1->setDrive(kRoot);
    MsgBox(QStringLiteral("Drive not ready..."), MsgButtons::Ok, MsgIcon::Information);
}

void frmFile::Dir1_Change() {
    File1->setPath(Dir1->path());
    showFolderText();
}

void frmFile::File1_Click(const QString& name) {
    txtFilename->setText(name);
}

void frmFile::txtFilename_LostFocus() {
    if (m_tag != u'1')
        return;
    const QString name = txtFilename->text();
    if (name.isEmpty())
        return;
    if (hasM3u8Ending(name))
        return;
    if (name.size() <= 4 || name.right(4).toUpper() != QStringLiteral(".M3U"))
        txtFilename->setText(name + QStringLiteral(".M3U"));
}

QString frmFile::playlistPath(const QString& name) const {
    if (name.startsWith(u'/'))
        return name;
    if (name.contains(u'/'))
        return drivePrefix(Drive1->drive()) + u'/' + name;
    return withTrailingSlash(Dir1->path()) + name;
}

QString frmFile::playerPath(const QString& name) const {
    if (name.startsWith(u'/') && isOrdinaryFile(name))
        return name;
    if (name.contains(u'/')) {
        const QString onDrive = drivePrefix(Drive1->drive()) +
                                (name.startsWith(u'/') ? QString() : QStringLiteral("/")) + name;
        if (isOrdinaryFile(onDrive))
            return onDrive;
    }
    const QString inFolder = withTrailingSlash(Dir1->path()) + name;
    return isOrdinaryFile(inFolder) ? inFolder : QString();
}

void frmFile::cmdSet_Click() {
    const bool playlistMode = m_tag == u'1';
    const QString name = txtFilename->text();
    if (name.size() < 4) {
        MsgBox(playlistMode ? QStringLiteral("Please enter output playlist filename.")
                            : QStringLiteral("Please select Winamp executable."),
               MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    if (playlistMode) {
        m_main.cboOutput->setEditText(playlistPath(name));
    } else {
        const QString player = playerPath(name);
        if (player.isEmpty()) {
            MsgBox(QStringLiteral("Winamp executable not found!"), MsgButtons::Ok,
                   MsgIcon::Critical);
            return;
        }
        if (m_playerBox)
            m_playerBox->setText(player);
    }
    hide();
}

void frmFile::cmdCancel_Click() {
    hide();
}

void frmFile::reject() {
    // Esc, and the close box, press Cancel.
    cmdCancel_Click();
}

bool frmFile::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtFilename && event->type() == QEvent::FocusOut) {
        // Only a move to another control of this window counts.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            txtFilename_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mixgen

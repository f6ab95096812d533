#include "windows/frmsplash.h"

#include "app/commandline.h"
#include "app/loader.h"
#include "app/programexit.h"
#include "core/numbertext.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "platform/appinfo.h"
#include "platform/display.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmmain.h"
#include "windows/splashpicture.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace mixgen {

namespace {

constexpr int kSplashInterval = 3000;
constexpr int kFoldersInterval = 1000;

void paintBlack(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmSplash::frmSplash(frmMain& main) : QDialog(nullptr), m_main(main) {
    initWindow();
    initPicture();
    initStrip();
    initButton();
    initTimers();
    Form_Load();
    nameControl(imgSplash, QLatin1String(kAppTitle), QStringLiteral("Splash picture"));
    nameControl(cmdClose, cmdClose->text(), QStringLiteral("Closes the splash screen"));
    fitToDesktop(this);
    registerWindowUnload(WindowSlot::Splash, [this] {
        m_unloading = true;
        tmrSplash->stop();
        tmrFolders->stop();
        close();
    });
}

frmSplash::~frmSplash() {
    registerWindowUnload(WindowSlot::Splash, nullptr);
}

void frmSplash::initWindow() {
    // A picture without a frame: the client area is the whole window.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(QLatin1String(kAppTitle));
    setFixedSize(twips(4800), twips(3900));
    setFont(formFont());
    paintBlack(this);
}

void frmSplash::initPicture() {
    imgSplash = new QLabel(this);
    imgSplash->setGeometry(0, 0, 320, 240);
    imgSplash->setPixmap(drawSplashPicture());

    lblVersion = new QLabel(QStringLiteral("v"), this);
    lblVersion->setGeometry(220, 4, 96, 16);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = lblVersion->font();
    bold.setBold(true);
    lblVersion->setFont(bold);
    lblVersion->setPalette(palette());
    lblVersion->installEventFilter(this);
}

void frmSplash::initStrip() {
    // Both in one place below the picture; one of them is shown at a time.
    chkSplash = new QCheckBox(QStringLiteral("Show splash screen at startup"), this);
    chkSplash->setToolTip(
        QStringLiteral("Check the box if you want to see the splash screen at program start"));
    chkSplash->setGeometry(4, 242, 240, 16);
    chkSplash->setPalette(palette());
    connect(chkSplash, &QCheckBox::toggled, this, &frmSplash::chkSplash_Click);

    lblWait = new QLabel(QStringLiteral("Please wait.. Reading folder names..."), this);
    lblWait->setGeometry(4, 242, 300, 16);
    lblWait->setPalette(palette());
}

void frmSplash::initButton() {
    // Below the visible area: reached only through Enter and Esc.
    cmdClose = makeButton(this, QStringLiteral("Close Screem"), QString(),
                          twipsRect(1800, 5000, 1215, 345));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmSplash::cmdClose_Click);
}

void frmSplash::initTimers() {
    tmrSplash = new QTimer(this);
    tmrSplash->setInterval(kSplashInterval);
    connect(tmrSplash, &QTimer::timeout, this, &frmSplash::tmrSplash_Timer);
    tmrSplash->start(); // runs from the window's creation

    tmrFolders = new QTimer(this);
    tmrFolders->setInterval(kFoldersInterval);
    connect(tmrFolders, &QTimer::timeout, this, &frmSplash::tmrFolders_Timer);
}

void frmSplash::Form_Load() {
    lblVersion->setText(versionText());
}

bool frmSplash::loaderRequested() const {
    return hasSwitch(m_main.commandLine(), QStringLiteral("/LOADER"));
}

void frmSplash::showModal() {
    m_showing = true;
    if (!loaderRequested()) {
        // Settled before the window appears, so a splash that is switched off never flashes.
        Form_Activate();
        if (!m_showing)
            return;
    } else {
        // The hand-over runs once the window is up; a silent one has no size from the start.
        if (hasSwitch(m_main.commandLine(), QStringLiteral("/S")))
            setFixedSize(0, 0);
        QTimer::singleShot(0, this, &frmSplash::Form_Activate);
    }
    exec();
    m_showing = false;
}

void frmSplash::hideSplash() {
    tmrSplash->stop();
    m_showing = false;
    hide();
}

void frmSplash::Form_Activate() {
    LoaderRole = false;
    FolderPosted = false;
    if (loaderRequested())
        handOver();
    else
        interactiveStart();
}

void frmSplash::interactiveStart() {
    CloseAllowed = true;
    chkSplash->show();
    lblWait->hide();
    lblVersion->show();

    const QString stored = SettingsStore().GetSetting(QLatin1String(keys::kSettings),
                                                      QLatin1String(keys::kSplashScreen),
                                                      QLatin1String(keys::kSplashScreenDefault));
    if (leadingNumericValue(stored) == 0) {
        hideSplash();
        return;
    }
    chkSplash->setChecked(true); // stores "1" through chkSplash_Click
    // Counts from the window's creation: starting it again would restart the 3 seconds.
    if (!tmrSplash->isActive())
        tmrSplash->start();
    // Without a display nobody waits for the splash.
    if (runsWithoutDisplay())
        hideSplash();
}

void frmSplash::handOver() {
    chkSplash->hide();
    lblWait->show();
    tmrSplash->stop();
    CloseAllowed = false;

    QString why;
    const QString work = workFolder(&why);
    const QString folder = switchValue(m_main.commandLine(), QStringLiteral("/P:"));
    if (!work.isEmpty()) {
        m_loader = std::make_unique<FolderLoader>(work, [] { QCoreApplication::processEvents(); });
        FolderLoader::HandOver outcome = m_loader->handOver(folder);
        // Success only once a living collector has taken the folder (or this one took its place).
        if (outcome == FolderLoader::HandOver::HandedOver)
            outcome = m_loader->awaitCollection();
        switch (outcome) {
        case FolderLoader::HandOver::Collect:
            FolderPosted = true;
            LoaderRole = true;
            m_main.cboPath->setEditText(m_loader->folders());
            tmrFolders->start();
            return;
        case FolderLoader::HandOver::HandedOver:
            // The collecting instance makes the playlist; this one is done.
            FolderPosted = true;
            setExitStatus(0);
            ExitProgram();
        case FolderLoader::HandOver::NoLock:
            why = m_loader->problem();
            break;
        }
    }
    MsgBox(QStringLiteral("%1\r\n\r\nThe folder \"%2\" was not handed over to the other "
                          "instances, and this instance makes no playlist.")
               .arg(why, folder),
           MsgButtons::Ok, MsgIcon::Critical);
    setExitStatus(1);
    ExitProgram();
}

void frmSplash::tmrFolders_Timer() {
    // The check may wait for the lock and let events run: no second tick inside it.
    tmrFolders->stop();
    switch (m_loader->collect(m_main.cboPath->currentText())) {
    case FolderLoader::Check::Changed:
        m_main.cboPath->setEditText(m_loader->folders());
        tmrFolders->start();
        return;
    case FolderLoader::Check::Done:
        hideSplash();
        return;
    case FolderLoader::Check::NoLock:
        MsgBox(m_loader->problem() + QStringLiteral("\r\n\r\nThe playlist is made from the "
                                                    "folders collected so far."),
               MsgButtons::Ok, MsgIcon::Exclamation);
        hideSplash();
        return;
    }
}

void frmSplash::cmdClose_Click() {
    if (CloseAllowed)
        hideSplash();
}

void frmSplash::Form_MouseUp() {
    if (CloseAllowed)
        hideSplash();
}

void frmSplash::lblVersion_Click() {
    if (CloseAllowed)
        hideSplash();
}

void frmSplash::tmrSplash_Timer() {
    hideSplash();
}

void frmSplash::chkSplash_Click() {
    SettingsStore().SaveSetting(QLatin1String(keys::kSettings), QLatin1String(keys::kSplashScreen),
                                chkSplash->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event) {
    QDialog::mouseReleaseEvent(event);
    Form_MouseUp();
}

void frmSplash::closeEvent(QCloseEvent* event) {
    if (m_unloading) {
        event->accept();
        return;
    }
    // Closed from the desktop: as a click would.
    event->ignore();
    cmdClose_Click();
}

void frmSplash::reject() {
    // Esc presses the cancel button.
    cmdClose_Click();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblVersion && event->type() == QEvent::MouseButtonRelease) {
        lblVersion_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mixgen

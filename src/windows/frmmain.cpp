#include "windows/frmmain.h"

#include "app/commandline.h"
#include "app/helptext.h"
#include "app/programexit.h"
#include "app/tagfile.h"
#include "core/numbertext.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "generate/songsearch.h"
#include "platform/appinfo.h"
#include "platform/display.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmfile.h"
#include "windows/frmfolder.h"
#include "windows/frmhelp.h"
#include "windows/frmoptions.h"
#include "windows/frmplaylist.h"
#include "windows/frmsplash.h"
#include "windows/history.h"
#include "windows/launcher.h"
#include "windows/songcountbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <limits>

namespace mixgen {

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& tip, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setToolTip(tip);
    label->setGeometry(place);
    return label;
}

QComboBox* makeHistoryBox(QWidget* parent, const QString& tip, const QRect& place) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    // The lists show the histories as loaded; typing Enter must not add to them.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setToolTip(tip);
    box->setGeometry(place);
    // A path list of thousands of folders must never be cut short in silence (a cut folder
    // name would name its parent): no length limit but memory's.
    box->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

} // namespace

frmMain::frmMain(QWidget* parent) : QDialog(parent) {
    m_programFolder = programFolder();
    initWindow();
    initPathRow();
    initOutputRow();
    initNumberRow();
    initTag();
    initTabOrder();
    initDrops();
    initAccessibleNames();
    fitToDesktop(this);
    registerWindowUnload(WindowSlot::Main, [this] {
        m_unloading = true;
        close();
    });
}

frmMain::~frmMain() {
    registerWindowUnload(WindowSlot::Main, nullptr);
    m_folder.reset();
    m_file.reset();
    // The other windows read this window's controls: they go first.
    m_options.reset();
    m_help.reset();
    m_splash.reset();
    m_playlist.reset();
}

void frmMain::initWindow() {
    setUpFixedWindow(this, 6975, 2175);
    fraMain = makeFormFrame(this, twipsRect(60, 0, 6855, 2115));
}

void frmMain::initPathRow() {
    lblPath = makeLabel(fraMain,
                        QStringLiteral("Path(s) to search for mp3's, seperate multiple with ; "
                                       "(semicolon):"),
                        QStringLiteral("Enter the path to search for mp3's"),
                        twipsRect(120, 165, 5400, 210));
    cboPath = makeHistoryBox(fraMain, QStringLiteral("Enter the path(s) to search for mp3's."),
                             twipsRect(120, 390, 5295, 330));
    cmdBrowsePath = makeButton(fraMain, QStringLiteral("&Browse..."),
                               QStringLiteral("Click to add a path to search for mp3's"),
                               twipsRect(5520, 375, 1215, 345));
    connect(cmdBrowsePath, &QPushButton::clicked, this, &frmMain::cmdBrowsePath_Click);
}

void frmMain::initOutputRow() {
    lblOutput = makeLabel(fraMain, QStringLiteral("Output file (.M3U):"),
                          QStringLiteral("Enter in the filename of the output file"),
                          twipsRect(120, 795, 3000, 210));
    cboOutput = makeHistoryBox(
        fraMain, QStringLiteral("Enter the filename of the output playlist file here."),
        twipsRect(120, 1020, 5295, 330));
    cmdBrowseOutput =
        makeButton(fraMain, QStringLiteral("B&rowse..."),
                   QStringLiteral("Click to choose output file"), twipsRect(5520, 1005, 1215, 345));
    connect(cmdBrowseOutput, &QPushButton::clicked, this, &frmMain::cmdBrowseOutput_Click);

    // Leaving the box (to another control of this window) completes the extension.
    cboOutput->installEventFilter(this);
    cboOutput->lineEdit()->installEventFilter(this);
}

void frmMain::initNumberRow() {
    lblNumber = makeLabel(fraMain, QStringLiteral("Number of songs:"),
                          QStringLiteral("Enter the number of songs to put in the playlist"),
                          twipsRect(120, 1425, 1500, 210));
    txtNumber = new QLineEdit(QStringLiteral("1000"), fraMain);
    txtNumber->setToolTip(QStringLiteral("Enter the number of songs to put in the playlist"));
    txtNumber->setGeometry(twipsRect(120, 1650, 855, 330));
    connect(txtNumber, &QLineEdit::textChanged, this, &frmMain::txtNumber_Change);

    cmdPlaylist = makeButton(fraMain, QStringLiteral("&Create playlist"),
                             QStringLiteral("Click to create random playlist"),
                             twipsRect(1080, 1635, 1455, 345));
    cmdPlaylist->setDefault(true);
    connect(cmdPlaylist, &QPushButton::clicked, this, &frmMain::cmdPlaylist_Click);

    cmdOptions = makeButton(fraMain, QStringLiteral("&Options"),
                            QStringLiteral("Click to show the Options screen"),
                            twipsRect(2640, 1635, 1095, 345));
    connect(cmdOptions, &QPushButton::clicked, this, &frmMain::cmdOptions_Click);

    cmdExit = makeButton(fraMain, QStringLiteral("E&xit"), QStringLiteral("Click to exit program"),
                         twipsRect(3840, 1635, 1095, 345));
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);

    cmdHelp = makeButton(fraMain, QStringLiteral("??"),
                         QStringLiteral("Click to open the file MIXGEN.TXT"),
                         twipsRect(5040, 1635, 375, 345));
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
}

void frmMain::initTag() {
    // Filled from the tag file at load; a click names that file.
    lblTag = makeLabel(fraMain, QString(), QString(), twipsRect(5520, 1410, 1215, 630));
    lblTag->setAlignment(Qt::AlignCenter);
    lblTag->setCursor(Qt::PointingHandCursor);
    lblTag->installEventFilter(this);
}

void frmMain::initTabOrder() {
    const QList<QWidget*> order = {cboPath,         cmdBrowsePath, cboOutput,
                                   cmdBrowseOutput, txtNumber,     cmdPlaylist,
                                   cmdOptions,      cmdExit,       cmdHelp};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmMain::initAccessibleNames() {
    nameAfterLabel(lblPath, cboPath);
    nameAfterLabel(lblOutput, cboOutput);
    nameAfterLabel(lblNumber, txtNumber);
    // Two "Browse..." buttons and a "??" say what they are for.
    nameControl(cmdBrowsePath, QStringLiteral("Browse for a path to search for mp3's"));
    nameControl(cmdBrowseOutput, QStringLiteral("Browse for the output file"));
    nameControl(cmdHelp, QStringLiteral("About"));
    lblTag->setAccessibleName(QStringLiteral("Tag"));
    lblTag->setAccessibleDescription(QStringLiteral("Click to see which file holds this tag"));
}

void frmMain::showTagLabel(const QString& label) {
    // The label text ends every item with CR LF; on the screen that is one line per item.
    QString shown = label;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(u'\n'))
        shown.chop(1);
    lblTag->setText(shown);
    // Read as one line, and as something even when the tag is empty.
    lblTag->setAccessibleName(QStringLiteral("Tag %1").arg(shown).simplified());
}

frmOptions& frmMain::optionsWindow() {
    if (!m_options) {
        m_options = std::make_unique<frmOptions>();
        m_options->setFilePicker([this]() -> frmFile& { return fileWindow(); });
    }
    return *m_options;
}

frmPlaylist& frmMain::playlistWindow() {
    if (!m_playlist)
        m_playlist = std::make_unique<frmPlaylist>(*this);
    return *m_playlist;
}

frmSplash& frmMain::splashWindow() {
    if (!m_splash)
        m_splash = std::make_unique<frmSplash>(*this);
    return *m_splash;
}

frmHelp& frmMain::helpWindow() {
    if (!m_help)
        m_help = std::make_unique<frmHelp>();
    return *m_help;
}

void frmMain::Form_Load(const QStringList& arguments) {
    LoadHistory();
    setWindowTitle(QLatin1String(kAppTitle));
    playlistWindow().setWindowTitle(QLatin1String(kAppTitle));
    showTagLabel(loadTagLabel(m_programFolder));

    const CommandLine request = parseCommandLine(joinCommandLine(arguments));
    m_commandLine = request.text;
    if (request.empty) {
        // The splash first; the main window once it has closed.
        splashWindow().showModal();
        showWithFocus();
        return;
    }
    if (request.help) {
        setExitStatus(0);
        // Without a display the help goes to the terminal, as nobody would see the window.
        if (runsWithoutDisplay()) {
            printOnTerminal(commandLineHelpText());
            ExitProgram();
        }
        hide();
        helpWindow().show();
        playlistWindow().setTag(QStringLiteral("1"));
        return;
    }

    m_commandLineRequest = true;
    setExitStatus(1);
    if (request.loader) {
        // The instances started together hand their folders to one of them; only that one
        // comes back here, with every folder in cboPath.
        splashWindow().showModal();
    } else if (request.hasPath) {
        cboPath->setEditText(request.path);
    }
    cboOutput->setEditText(request.output);
    txtNumber->setText(request.number);
    playlistWindow().setTag(QStringLiteral("1"));
    if (!cmdPlaylist_Click()) {
        dropEarlySongSearch(); // the run never came to its search
        showWithFocus();
    }
}

namespace {

// Appends entries to a box's drop-down list; the text in the box stays as it was (a combo
// box would otherwise show the first item it is given).
void appendKeepingText(QComboBox* box, const QStringList& entries) {
    const QString text = box->currentText();
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

} // namespace

void frmMain::LoadHistory() {
    const SettingsStore store;
    appendKeepingText(cboPath, loadHistoryEntries(store, QLatin1String(keys::kPathMRU)));
    appendKeepingText(cboOutput, loadHistoryEntries(store, QLatin1String(keys::kOutputMRU)));
}

void frmMain::SaveHistory() {
    const SettingsStore store;
    saveHistoryEntry(store, QLatin1String(keys::kPathMRU), cboPath->currentText());
    saveHistoryEntry(store, QLatin1String(keys::kOutputMRU), cboOutput->currentText());
}

void frmMain::showWithFocus() {
    if (runsWithoutDisplay())
        ExitProgram();
    show();
    raise();
    activateWindow();
}

bool frmMain::cmdPlaylist_Click() {
    // Exact tests: blanks pass, and only a number whose value is 0 is refused.
    const char* refusal = nullptr;
    if (cboPath->currentText().isEmpty())
        refusal = "Set path to search for mp3's first!";
    else if (cboOutput->currentText().isEmpty())
        refusal = "Set output file (.M3U) first!";
    else if (leadingNumericValue(txtNumber->text()) == 0)
        refusal = "Cannot create a playlist with 0 (zero) songs!";
    if (refusal) {
        MsgBox(QString::fromLatin1(refusal), MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }

    SaveHistory();
    hide();
    playlistWindow().showForRun();
    return true;
}

void frmMain::cmdOptions_Click() {
    optionsWindow().showModal(this);
}

void frmMain::cmdExit_Click() {
    ExitProgram();
}

void frmMain::cmdHelp_Click() {
    // The folder as the system names it: no "/" of our own at its end, unless it is the root.
    QString folder = m_programFolder;
    if (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    MsgBox(QStringLiteral("%1 %2\r\n\r\nRunning in %3")
               .arg(QLatin1String(kAppTitle), versionText(), folder.toUpper()),
           MsgButtons::Ok, MsgIcon::Information);
    startProgramOrReport(
        {QStringLiteral("xdg-open"), withTrailingSlash(m_programFolder) + "MIXGEN.TXT"});
}

void frmMain::lblTag_Click() {
    MsgBox(QStringLiteral("You can change this tag by editing this file:\r\n\r\n") +
               tagFilePath(m_programFolder).toUpper(),
           MsgButtons::Ok, MsgIcon::Information);
}

void frmMain::txtNumber_Change() {
    keepSongCountInRange(txtNumber);
}

void frmMain::cboOutput_LostFocus() {
    const QString name = cboOutput->currentText();
    if (!name.isEmpty() && !name.endsWith(QStringLiteral(".m3u"), Qt::CaseInsensitive) &&
        !hasM3u8Ending(name))
        cboOutput->setEditText(name + QStringLiteral(".M3U"));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloading) {
        event->accept();
        return;
    }
    // Closing the main window through its frame ends the program, as "Exit" does.
    event->ignore();
    ExitProgram();
}

void frmMain::reject() {
    // Esc presses the cancel button.
    if (cmdExit->isEnabled() && cmdExit->isVisible())
        cmdExit_Click();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblTag && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblTag_Click();
        return true;
    }
    if ((watched == cboOutput || watched == cboOutput->lineEdit()) &&
        event->type() == QEvent::FocusOut) {
        // Only a move to another control counts: not the box's own drop-down list, not the
        // window losing the focus to another program.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            next != cboOutput && next != cboOutput->lineEdit())
            cboOutput_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mixgen

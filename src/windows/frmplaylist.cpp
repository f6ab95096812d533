#include "windows/frmplaylist.h"

#include "app/commandline.h"
#include "app/players.h"
#include "app/programexit.h"
#include "app/stylechoices.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "generate/lengthtarget.h"
#include "generate/playlistwriter.h"
#include "generate/randomsource.h"
#include "generate/songsearch.h"
#include "generate/styledpick.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmmain.h"
#include "windows/frmoptions.h"
#include "windows/launcher.h"
#include "windows/songstoremodel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace mixgen {

namespace {

const QString kDoneCaption = QStringLiteral("Done. Playlist is shown below.");
const QString kReadingCaption = QStringLiteral("Please wait... Reading files...");
const QString kOpenCaption = QStringLiteral("&Open playlist");
const QString kOpenTip =
    QStringLiteral("Click here to open the playlist with the program associated with a playlist");
const QString kPlayCaption = QStringLiteral("&Play playlist");
const QString kPlayTip = QStringLiteral("Click here to play the playlist in WinAmp");

QString setting(const char* key, const char* def = "") {
    return SettingsStore().GetSetting(QLatin1String(keys::kSettings), QLatin1String(key),
                                      QLatin1String(def));
}

QLabel* makeStatusLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(twipsRect(120, 275, 2775, 255));
    label->hide();
    return label;
}

// The buttons stay hidden until a run's finish step shows them.
QPushButton* makeRunButton(QWidget* parent, const QString& caption, const QString& tip,
                           const QRect& place) {
    QPushButton* button = makeButton(parent, caption, tip, place);
    button->hide();
    return button;
}

// Keys, clicks and wheel turns: what a window that takes no input drops.
bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

QListView* makeList(QWidget* parent, QAbstractItemModel* model, const QRect& place) {
    auto* list = new QListView(parent);
    list->setModel(model);
    list->setGeometry(place);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: a hundred thousand rows are laid out at once.
    list->setUniformItemSizes(true);
    list->setLayoutMode(QListView::Batched);
    return list;
}

} // namespace

frmPlaylist::frmPlaylist(frmMain& main) : QDialog(nullptr), m_main(main) {
    initWindow();
    initStatusLabels();
    initButtons();
    initLists();
    initTabOrder();
    fitToDesktop(this);

    registerWindowUnload(WindowSlot::Playlist, [this] {
        m_unloading = true;
        close();
    });
    registerExitTagSetter([this] { setTag(QStringLiteral("1")); });
    // Activations of the program's other windows tell when this one is left.
    qApp->installEventFilter(this);
}

frmPlaylist::~frmPlaylist() {
    registerWindowUnload(WindowSlot::Playlist, nullptr);
    registerExitTagSetter(nullptr);
}

void frmPlaylist::initWindow() {
    setUpFixedWindow(this, 10440, 3750);
    Frame1 = makeFormFrame(this, twipsRect(120, 0, 10215, 615));
}

void frmPlaylist::initStatusLabels() {
    // All three in one place; one at a time is visible.
    lblDone = makeStatusLabel(Frame1, kDoneCaption);
    lblWait = makeStatusLabel(Frame1, QStringLiteral("Please wait... Writing playlist..."));
    lblRead = makeStatusLabel(Frame1, kReadingCaption);
}

void frmPlaylist::initButtons() {
    cmdEnqueue = makeRunButton(Frame1, QStringLiteral("&Enqueue Playlist"),
                               QStringLiteral("Click to enqueue the playlist in WinAmp"),
                               twipsRect(3000, 210, 1695, 300));
    cmdOpen = makeRunButton(Frame1, kOpenCaption, kOpenTip, twipsRect(4800, 210, 1695, 300));
    cmdRedo = makeRunButton(Frame1, QStringLiteral("&Redo operation"),
                            QStringLiteral("Click to redo the search and pick operation"),
                            twipsRect(6600, 210, 1695, 300));
    cmdClose = makeRunButton(Frame1, QStringLiteral("&Close"),
                             QStringLiteral("Click to close this window"),
                             twipsRect(8400, 210, 1695, 300));
    // Enter presses it; Esc too (see reject).
    cmdClose->setDefault(true);

    connect(cmdEnqueue, &QPushButton::clicked, this, &frmPlaylist::cmdEnqueue_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmPlaylist::cmdOpen_Click);
    connect(cmdRedo, &QPushButton::clicked, this, &frmPlaylist::cmdRedo_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmPlaylist::cmdClose_Click);
}

void frmPlaylist::initLists() {
    m_finalModel = new PickedSongsModel(m_picked, this);
    m_initModel = new FoundSongsModel(m_found, this);

    lstFinal = makeList(this, m_finalModel, twipsRect(120, 720, 10215, 2940));
    lstFinal->setFont(terminalFont(9));
    nameControl(lstFinal, QStringLiteral("Playlist"),
                QStringLiteral("The songs of the playlist, numbered"));

    // The found songs lie below the window's client area and are never seen. Hidden, the
    // view is also never laid out: a million found songs would cost it megabytes and time
    // after every search.
    lstInit = makeList(this, m_initModel, twipsRect(120, 3960, 10215, 2400));
    lstInit->setFont(terminalFont(9, true));
    lstInit->setFocusPolicy(Qt::NoFocus);
    lstInit->hide();
    nameControl(lstInit, QStringLiteral("Found songs"));
}

void frmPlaylist::initTabOrder() {
    setTabOrder(cmdClose, cmdEnqueue);
    setTabOrder(cmdEnqueue, cmdOpen);
    setTabOrder(cmdOpen, cmdRedo);
    setTabOrder(cmdRedo, lstFinal);
}

QStringList frmPlaylist::pickedSongs() const {
    return m_picked.entries();
}

QStringList frmPlaylist::foundSongs() const {
    return m_found.toStringList();
}

QString frmPlaylist::playlistPath() const {
    return m_main.cboOutput->currentText();
}

void frmPlaylist::showForRun() {
    if (isVisible()) {
        raise();
        activateWindow();
        queueRun();
        return;
    }
    // A silent window gets its zero size before it first appears.
    makeSilentRunInvisible();
    show(); // showEvent queues the run
}

bool frmPlaylist::makeSilentRunInvisible() {
    if (!hasSwitch(m_main.commandLine(), QStringLiteral("/S")))
        return false;
    setFixedSize(0, 0);
    return true;
}

void frmPlaylist::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Shown (or shown again) by the program: a run starts. A window the desktop merely
    // restores does not start one.
    if (!event->spontaneous())
        queueRun();
}

void frmPlaylist::queueRun() {
    if (m_runQueued)
        return;
    m_runQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_runQueued = false;
        Form_Activate();
    });
}

void frmPlaylist::Form_Activate() {
    if (m_running) {
        // A run asked for while one goes on follows it instead of nesting inside it.
        m_runAgain = true;
        return;
    }
    m_running = true;
    runSteps();
    m_running = false;
    m_takesNoInput = false; // also after a run that ended early
    if (m_exitAfterRun)
        ExitProgram();
    emit runFinished();
    if (m_runAgain) {
        m_runAgain = false;
        queueRun();
    }
}

void frmPlaylist::prepareForRun() {
    m_writeFailed = false;
    m_takesNoInput = true;
    m_closeAsked = false; // one asked for in a search that ended early is no longer due
    // The pick reads its names from the found songs: it goes first.
    m_picked.clear();
    m_finalModel->storeChanged();
    m_found.clear();
    m_initModel->storeChanged();

    for (QPushButton* button : {cmdClose, cmdOpen, cmdRedo, cmdEnqueue}) {
        button->setEnabled(false);
        button->hide();
    }
    cmdOpen->setText(kOpenCaption);
    cmdOpen->setToolTip(kOpenTip);

    lblDone->setText(kDoneCaption);
    lblRead->setText(kReadingCaption);
    lblRead->show();
    lblWait->hide();
    lblDone->hide();
}

void frmPlaylist::runSteps() {
    const QString commandLine = m_main.commandLine();
    if (makeSilentRunInvisible())
        setTag(QStringLiteral("2"));
    prepareForRun();
    repaint();
    QCoreApplication::processEvents();
    if (m_exitAfterRun)
        return;

    const QString output = playlistPath();
    switch (askOverwrite(output, hasSwitch(commandLine, QStringLiteral("/Y")), m_tag == "1")) {
    case OverwriteOutcome::GoOn:
        break;
    case OverwriteOutcome::BackToMain:
        dropEarlySongSearch(); // this run does not search
        hide();
        m_main.showWithFocus();
        return;
    case OverwriteOutcome::EndProgram:
        ExitProgram();
    case OverwriteOutcome::BadName:
        dropEarlySongSearch();
        finishRun();
        return;
    }

    m_busy.set(true);
    // The hidden list shows the store once the search has filled it.
    m_searching = true;
    const SearchStatus status = runSongSearch(m_main.cboPath->currentText(), m_found,
                                              [this](qint64 count) { showFoundSoFar(count); });
    m_searching = false;
    m_initModel->storeChanged();
    endTerminalProgress();
    if (m_exitAfterRun) {
        m_busy.set(false);
        return;
    }
    if (status == SearchStatus::NoPath) {
        m_busy.set(false);
        cmdClose->setEnabled(true);
        cmdClose_Click();
        return;
    }
    // What the user did meanwhile runs now (keys and clicks on this window are dropped); the
    // window takes the focus back if still shown.
    QCoreApplication::processEvents();
    if (m_closeAsked) {
        m_closeAsked = false;
        close();
    }
    if (isVisible())
        activateWindow();
    if (status == SearchStatus::Failed) {
        finishRun();
        return;
    }
    lblRead->hide();
    lblWait->show();
    repaint();

    ClockSeededRandom random;
    const int requested = requestedSongCount(m_main.txtNumber->text());
    // A playlist style asked for (stored, or by the request's switches) takes its own way.
    const PlaylistStyle style = requestStyle(commandLine, storedStyle());
    const int written =
        style.any() ? pickWithStyle(style, requested, output, random)
                    : pickAndWrite(m_found, m_picked, requested, output, random, &m_writeFailed);
    if (m_writeFailed) {
        // Not the playlist: the file keeps its old content. As when the file cannot be made,
        // nothing stands in the list, so nothing is shown or handed off.
        m_picked.clear();
    }
    m_initModel->storeChanged();
    m_finalModel->storeChanged();
    if (m_main.isCommandLineRequest())
        setExitStatus(written > 0 && !m_writeFailed ? 0 : 1);
    finishRun();
}

int frmPlaylist::pickWithStyle(const PlaylistStyle& style, int requested, const QString& output,
                               RandomSource& random) {
    const StyledPickResult result =
        pickAndWriteStyled(m_found, m_picked, requested, output, random, style, &m_writeFailed);
    // With a length target the status line says the length the playlist came to.
    if (style.minutes > 0)
        lblDone->setText(
            QStringLiteral("Done. Total length %1.").arg(lengthText(result.totalSeconds)));
    return result.count;
}

void frmPlaylist::showFoundSoFar(qint64 count) {
    // The buttons are hidden while the search runs, so the label may use the frame's width.
    lblRead->resize(Frame1->width() - 2 * lblRead->x(), lblRead->height());
    lblRead->setText(QStringLiteral("%1 %2 songs found so far").arg(kReadingCaption).arg(count));
    if (runsWithoutDisplay())
        showTerminalProgress(QStringLiteral("%1 songs found so far").arg(count));
    // Repaint. The user's keys and clicks are taken in too, and dropped (eventFilter): held
    // back, the window system may hand them over only once the result is shown, where Enter
    // and Esc would close it.
    QCoreApplication::processEvents();
}

void frmPlaylist::finishRun() {
    // Keys typed while the pick ran are dropped before the buttons can take them. A silent
    // run has no buttons to reach and ends the program below: its unseen lists are not laid
    // out (and their font looked up) first.
    if (m_tag != "2")
        QCoreApplication::processEvents();
    m_takesNoInput = false;
    // Once the window waits for the user, the found songs move out of the deleted list
    // file's pages into memory of their own: those pages would be written to disk meanwhile.
    // A run that ends the program leaves before this comes.
    QTimer::singleShot(0, this, [this] { m_found.keepOwnCopy(); });
    m_busy.set(false);
    if (m_exitAfterRun)
        return;
    lblWait->hide();
    lblRead->hide();
    lblDone->show();
    cmdRedo->setEnabled(true);
    cmdOpen->setEnabled(true);
    cmdClose->setEnabled(true);

    if (m_finalModel->rowCount() == 0) {
        // After a failed write its own message has said what went wrong.
        if (!m_writeFailed)
            MsgBox(QStringLiteral("No files were found. Playlist is empty."), MsgButtons::Ok,
                   MsgIcon::Information);
        cmdClose_Click();
        return;
    }
    if (setting(keys::kOpenWith, keys::kOpenWithDefault)
            .compare(QLatin1String("winamp"), Qt::CaseInsensitive) == 0) {
        cmdOpen->setText(kPlayCaption);
        cmdOpen->setToolTip(kPlayTip);
        cmdEnqueue->setEnabled(true);
        cmdEnqueue->show();
    }
    cmdClose->show();
    cmdOpen->show();
    cmdRedo->show();

    // A playlist that was not written is not handed to anyone: the old file would play.
    const QString commandLine = m_main.commandLine();
    const HandOff handOff = m_writeFailed
                                ? HandOff::None
                                : handOffFor(hasSwitch(commandLine, QStringLiteral("/E")),
                                             hasSwitch(commandLine, QStringLiteral("/A")),
                                             setting(keys::kAction, keys::kActionDefault));
    switch (handOff) {
    case HandOff::Enqueue:
        cmdEnqueue_Click();
        break;
    case HandOff::Open:
        cmdOpen_Click();
        break;
    case HandOff::None:
        break;
    }

    if (m_tag == "2")
        ExitProgram();
    // Without a display nobody is there to look at the result of a command-line run.
    if (m_tag == "1" && runsWithoutDisplay())
        ExitProgram();
}

void frmPlaylist::cmdOpen_Click() {
    const QString openWith = setting(keys::kOpenWith, keys::kOpenWithDefault);
    if (openWith.compare(QLatin1String("explorer"), Qt::CaseInsensitive) == 0)
        startProgramOrReport({QStringLiteral("xdg-open"), playlistPath()});
    else
        startProgramOrReport(playCommand(setting(keys::kPlayerPath), playlistPath()));
}

void frmPlaylist::cmdEnqueue_Click() {
    const QString player = setting(keys::kPlayerPath);
    if (player.isEmpty() || !QFileInfo(player).isFile()) {
        // "Yes" opens the options window over this one; the run and this window stay.
        if (MsgBox(QStringLiteral("Cannot Enqueue playlist.\r\n\r\nPlease set Winamp Executable "
                                  "at the Options screen.\r\n\r\nWould you like to go there now?"),
                   MsgButtons::YesNo, MsgIcon::Critical) == MsgAnswer::Yes)
            m_main.optionsWindow().showModal(this);
        return;
    }
    startProgramOrReport(enqueueCommand(player, playlistPath()));
}

void frmPlaylist::cmdRedo_Click() {
    Form_Activate();
}

void frmPlaylist::cmdClose_Click() {
    cmdClose->setEnabled(false);
    hide();
    if (m_tag == "1")
        ExitProgram();
    m_main.showWithFocus();
    QCoreApplication::processEvents();
}

void frmPlaylist::Form_Deactivate() {
    hide();
    if (m_tag == "1")
        endCommandLineRun();
    else
        m_main.showWithFocus();
}

void frmPlaylist::endCommandLineRun() {
    // A run in progress first gets its search to the end, so that no work file is left behind.
    if (m_running)
        m_exitAfterRun = true;
    else
        ExitProgram();
}

void frmPlaylist::Form_QueryUnload(bool& cancel) {
    cmdClose->setEnabled(false);
    if (m_tag == "1") {
        if (m_unloading)
            return;
        // The user closed the window of a command-line run: nothing else would end the
        // program.
        cancel = true;
        hide();
        endCommandLineRun();
        return;
    }
    cancel = true;
    m_main.showWithFocus();
}

void frmPlaylist::closeEvent(QCloseEvent* event) {
    if (m_searching && event->spontaneous()) {
        // The close box while the search runs: handled with the other pending events once
        // the search has ended.
        m_closeAsked = true;
        event->ignore();
        return;
    }
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void frmPlaylist::reject() {
    // Esc presses the cancel button once it can be pressed.
    if (cmdClose->isVisible() && cmdClose->isEnabled())
        cmdClose_Click();
}

bool frmPlaylist::countsAsAnotherWindow(const QWidget* window) const {
    // Message boxes and modal windows (the program's own pickers and options) are part of
    // what the user is doing here, not a move to another window.
    return window != this && window->isWindow() && !qobject_cast<const QMessageBox*>(window) &&
           !window->isModal() && window->windowModality() == Qt::NonModal &&
           !isAncestorOf(window) && window->windowType() != Qt::Popup &&
           window->windowType() != Qt::ToolTip;
}

bool frmPlaylist::eventFilter(QObject* watched, QEvent* event) {
    // The window takes no input while it works: what is typed or clicked meanwhile is
    // dropped, never kept for the result. Message boxes are windows of their own.
    if (m_takesNoInput && isUserInput(event->type()) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this)
        return true;
    if (event->type() == QEvent::WindowActivate && isVisible() && watched->isWidgetType()) {
        const auto* window = static_cast<QWidget*>(watched);
        if (countsAsAnotherWindow(window))
            Form_Deactivate();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mixgen

#include "windows/frmoptions.h"

#include "app/contextmenu.h"
#include "app/programexit.h"
#include "core/numbertext.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "generate/extensions.h"
#include "platform/messages.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"
#include "windows/frmstyle.h"
#include "windows/playersearch.h"
#include "windows/songcountbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <algorithm>

namespace mixgen {

namespace {

const QString kSetPlayer = QStringLiteral("Please set Winamp Executable.");

QString setting(const char* key, const QString& def) {
    return SettingsStore().GetSetting(QLatin1String(keys::kSettings), QLatin1String(key), def);
}

void saveSetting(const QString& key, const QString& value) {
    SettingsStore().SaveSetting(QLatin1String(keys::kSettings), key, value);
}

void saveSetting(const char* key, const QString& value) {
    saveSetting(QLatin1String(key), value);
}

QString extKey(int index) {
    return QLatin1String(keys::kExtPrefix) + QString::number(index);
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    // Only the notes of more than one line wrap; a caption stays on its line.
    label->setWordWrap(place.height() > 20);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Verdana 8.25 pt when it is installed, else the desktop's sans family at that size.
QFont listFont() {
    QFont font = QFontDatabase::families().contains(QStringLiteral("Verdana"), Qt::CaseInsensitive)
                     ? QFont(QStringLiteral("Verdana"))
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(8.25);
    return font;
}

// A directory search for the text: an ordinary, not hidden file at that path, or, when the
// name holds "*" or "?", any such file in its folder that matches it (any case).
bool findsOrdinaryFile(const QString& text) {
    const QFileInfo info(text);
    if (info.isFile() && !info.fileName().startsWith(u'.'))
        return true;
    const QString name = info.fileName();
    if (!name.contains(u'*') && !name.contains(u'?'))
        return false;
    const QDir folder = info.dir();
    const QFileInfoList matches =
        folder.entryInfoList({name}, QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    return !matches.isEmpty();
}

} // namespace

frmOptions::frmOptions() : QDialog(nullptr) {
    initWindow();
    initSplashFrame();
    initOpeningFrame();
    initDialogsFrame();
    initContextMenuFrame();
    initAfterGeneratingFrame();
    initExtensionsFrame();
    initButtons();
    initTabOrder();
    initAccessibleNames();
    fitToDesktop(this);

    registerWindowUnload(WindowSlot::Options, [this] { hide(); });
    // Activations of the program's other windows tell when this one is activated anew.
    qApp->installEventFilter(this);
}

frmOptions::~frmOptions() {
    registerWindowUnload(WindowSlot::Options, nullptr);
}

void frmOptions::initWindow() {
    setUpFixedWindow(this, 10410, 4635);
    // The captions of this window fill their places in Tahoma; a wider stand-in family is
    // narrowed so that they still fit.
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) {
        QFont narrowed = font();
        narrowed.setStretch(QFont::SemiCondensed);
        setFont(narrowed);
    }
    setWindowTitle(QStringLiteral("Options"));
    Frame1 = makeFormFrame(this, twipsRect(120, 0, 10215, 4575));
}

void frmOptions::initSplashFrame() {
    Frame4 = makeFormFrame(Frame1, twipsRect(120, 120, 4215, 615));
    chkSplash = makeCheckBox(
        Frame4, QStringLiteral("Show splash screen at startup"),
        QStringLiteral("Check the box if you want to see the splash screen at program start"),
        twipsRect(120, 240, 2535, 255));
}

void frmOptions::initOpeningFrame() {
    Frame2 = makeFormFrame(Frame1, twipsRect(120, 840, 4215, 1815));
    Label2 = makeLabel(Frame2, QStringLiteral("Open playlist files with"),
                       twipsRect(120, 240, 1695, 255));
    optOpen[0] = makeOption(Frame2, QStringLiteral("Associated program (EXPLORER.EXE)"),
                            QStringLiteral("Choose this option if you do not want Winamp but the "
                                           "associated program for opening a playlist"),
                            twipsRect(120, 480, 3135, 255));
    optOpen[1] = makeOption(
        Frame2, QStringLiteral("WinAmp (enables Enqueue)"),
        QStringLiteral("Choose this option if you want to use Winamp for opening a playlist"),
        twipsRect(120, 720, 2295, 255));
    optOpen[0]->setChecked(true);
    lblWA =
        makeLabel(Frame2, QStringLiteral("Winamp Executable:"), twipsRect(240, 1080, 1695, 255));
    txtWinamp = makeTextBox(Frame2, QString(),
                            QStringLiteral("Enter Winamp Executable (path and .EXE filename) here"),
                            twipsRect(240, 1320, 2415, 285));
    cmdBrowse = makeButton(Frame2, QStringLiteral("&Browse..."),
                           QStringLiteral("Browse for the Winamp Executable"),
                           twipsRect(2760, 1320, 1335, 300));
    for (QWidget* control : std::initializer_list<QWidget*>{lblWA, txtWinamp, cmdBrowse})
        control->setEnabled(false);

    for (QRadioButton* option : optOpen)
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                optOpen_Click();
        });
    connect(cmdBrowse, &QPushButton::clicked, this, &frmOptions::cmdBrowse_Click);
}

void frmOptions::initDialogsFrame() {
    Frame6 = makeFormFrame(Frame1, twipsRect(120, 2760, 4215, 615));
    chkInternalDlg =
        makeCheckBox(Frame6, QStringLiteral("Internal dialogs only (when Browse button failes)"),
                     QStringLiteral("Check this box if the program crashes when you click "
                                    "'Browse'"),
                     twipsRect(120, 240, 3855, 255));
    Label3 = makeLabel(Frame1,
                       QStringLiteral("Note: IF the Browse button crashes the program, please "
                                      "check the option 'Internal dialogs only'."),
                       twipsRect(480, 3480, 3735, 495));
}

void frmOptions::initContextMenuFrame() {
    Frame5 = makeFormFrame(Frame1, twipsRect(4440, 120, 4215, 3135));
    Label1 = makeLabel(Frame5, QStringLiteral("Add the following to Directory context menu:"),
                       twipsRect(120, 240, 3495, 255));
    chkRndPlay =
        makeCheckBox(Frame5, QStringLiteral("Random Playlist"),
                     QStringLiteral("Check to add 'Random Playlist' to directory context menu"),
                     twipsRect(360, 600, 1455, 255));
    chkPlay = makeCheckBox(
        Frame5, QStringLiteral("Play Random Playlist"),
        QStringLiteral("Check to add 'Play Random Playlist' to directory context menu"),
        twipsRect(360, 960, 1815, 255));
    chkEnqueue = makeCheckBox(
        Frame5, QStringLiteral("Enqueue Random Playlist"),
        QStringLiteral("Check to add 'Enqueue Random Playlist' to directory context menu"),
        twipsRect(360, 1320, 2175, 255));
    chkEnqueue->setEnabled(false);
    Label4 = makeLabel(Frame5, QStringLiteral("Options:"), twipsRect(120, 1700, 615, 255));
    const QString numberTip = QStringLiteral("Enter the number of songs to put in the playlist");
    lblNumber =
        makeLabel(Frame5, QStringLiteral("Number of songs:"), twipsRect(360, 2040, 1320, 255));
    lblNumber->setToolTip(numberTip);
    txtNumber =
        makeTextBox(Frame5, QStringLiteral("1000"), numberTip, twipsRect(360, 2280, 1215, 285));
    chkSilent = makeCheckBox(Frame5, QStringLiteral("Silent mode (only messages)"),
                             QStringLiteral("Check to make the context-menu entries work "
                                            "silently: no windows, only messages, and the "
                                            "program ends when the playlist is made"),
                             twipsRect(360, 2760, 2295, 255));
    connect(txtNumber, &QLineEdit::textChanged, this, &frmOptions::txtNumber_Change);
}

void frmOptions::initAfterGeneratingFrame() {
    Frame3 = makeFormFrame(Frame1, twipsRect(4440, 3360, 4215, 1095));
    chkAction = makeCheckBox(Frame3, QStringLiteral("Open playlist after generating"),
                             QStringLiteral("Check this box if you always want a playlist to be "
                                            "opened after being generated"),
                             twipsRect(120, 240, 2535, 255));
    // "Play" stands above "Enqueue".
    optAction[1] = makeOption(
        Frame3, QStringLiteral("Play"),
        QStringLiteral("Choose this option if you want to play a playlist after being generated"),
        twipsRect(360, 480, 975, 195));
    optAction[0] = makeOption(Frame3, QStringLiteral("Enqueue"),
                              QStringLiteral("Choose this option if you want to enqueue a "
                                             "playlist after being generated"),
                              twipsRect(360, 720, 975, 195));
    optAction[0]->setChecked(true);
    for (QRadioButton* option : optAction)
        option->setEnabled(false);
    connect(chkAction, &QCheckBox::toggled, this, &frmOptions::chkAction_click);
    cmdStyle = makeButton(Frame3, QStringLiteral("Playlist st&yle..."),
                          QStringLiteral("Set the length, balance, entries and paths of the "
                                         "playlists"),
                          twipsRect(2760, 600, 1335, 300));
    connect(cmdStyle, &QPushButton::clicked, this, &frmOptions::cmdStyle_Click);
}

void frmOptions::initExtensionsFrame() {
    Frame7 = makeFormFrame(Frame1, twipsRect(8760, 120, 1335, 4335));
    Label6 = makeLabel(Frame7, QStringLiteral("Extensions:"), twipsRect(120, 240, 975, 255));
    lstExt = new QListWidget(Frame7);
    lstExt->setGeometry(twipsRect(120, 480, 1095, 2985));
    lstExt->setFont(listFont());
    // Each click toggles an item: any number can be selected.
    lstExt->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const std::string_view extension : kExtensions)
        lstExt->addItem(QString::fromLatin1(extension.data(), qsizetype(extension.size())));
    Label5 = makeLabel(Frame7, QStringLiteral("Warning! Increases list creation time!"),
                       twipsRect(120, 3600, 1095, 615));
}

void frmOptions::initButtons() {
    cmdSet = makeButton(Frame1, QStringLiteral("&Ok"),
                        QStringLiteral("Save options and close this screen"),
                        twipsRect(120, 4080, 1335, 300));
    cmdApply = makeButton(Frame1, QStringLiteral("&Apply"), QStringLiteral("Save options"),
                          twipsRect(1560, 4080, 1335, 300));
    cmdCancel = makeButton(Frame1, QStringLiteral("&Cancel"),
                           QStringLiteral("Close this screen without saving options"),
                           twipsRect(3000, 4080, 1335, 300));
    connect(cmdSet, &QPushButton::clicked, this, &frmOptions::cmdSet_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
}

void frmOptions::initTabOrder() {
    const QList<QWidget*> order = {
        cmdApply,       cmdCancel,    chkSplash,  chkRndPlay, chkPlay,   chkEnqueue,
        chkInternalDlg, optOpen[0],   optOpen[1], txtWinamp,  cmdBrowse, chkAction,
        optAction[0],   optAction[1], cmdSet,     txtNumber,  chkSilent, lstExt};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setTabOrder(lstExt, cmdStyle);
}

void frmOptions::initAccessibleNames() {
    nameAfterLabel(lblWA, txtWinamp);
    nameAfterLabel(lblNumber, txtNumber);
    nameAfterLabel(Label6, lstExt);
    lstExt->setAccessibleDescription(QStringLiteral("The kinds of song files the search looks "
                                                    "for. ") +
                                     Label5->text());
    nameControl(cmdBrowse, cmdBrowse->toolTip());
}

void frmOptions::showModal(QWidget* owner) {
    // Owned without being a child: the window outlives whichever window opened it.
    if (owner)
        centreOnOwner(this, owner);
    setWindowModality(Qt::ApplicationModal);
    cmdApply->setFocus();
    exec();
}

void frmOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        m_leftForAnotherWindow = true;
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && watched->isWidgetType() &&
        isAncestorOf(static_cast<QWidget*>(watched)))
        m_lastFocus = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            passOverUnselectedOption(watched, reason);
    }
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window == this) {
            if (m_leftForAnotherWindow) {
                m_leftForAnotherWindow = false;
                Form_Activate();
            }
        } else if (window->isWindow() && !qobject_cast<QMessageBox*>(window) &&
                   !qobject_cast<QFileDialog*>(window) && !qobject_cast<frmStyle*>(window) &&
                   window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
            // Message boxes, the system file dialog and the style window belong to what is
            // done here.
            m_leftForAnotherWindow = true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::passOverUnselectedOption(QObject* watched, Qt::FocusReason reason) {
    for (const std::array<QRadioButton*, 2>& group : {optOpen, optAction}) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            QRadioButton* selected = group[1 - i];
            if (watched != group[i] || group[i]->isChecked() || !selected->isChecked())
                continue;
            // Coming from the selected button the Tab key leaves the group; coming from
            // elsewhere it stops at the selected button.
            const bool leaving = m_lastFocus == selected;
            QMetaObject::invokeMethod(
                this,
                [this, selected, reason, leaving] {
                    if (leaving)
                        focusNextPrevChild(reason == Qt::TabFocusReason);
                    else
                        selected->setFocus(reason);
                },
                Qt::QueuedConnection);
            return;
        }
    }
}

void frmOptions::enableAfterGenerating() {
    const bool enabled = chkAction->isChecked() && optOpen[1]->isChecked();
    for (QRadioButton* option : optAction)
        option->setEnabled(enabled);
}

void frmOptions::enablePlayerControls() {
    const bool player = optOpen[1]->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{lblWA, txtWinamp, cmdBrowse, chkEnqueue})
        control->setEnabled(player);
    // Without the player the next Apply removes the enqueue entry.
    if (!player)
        chkEnqueue->setChecked(false);
}

void frmOptions::optOpen_Click() {
    enableAfterGenerating();
    enablePlayerControls();
}

void frmOptions::chkAction_click() {
    enableAfterGenerating();
}

void frmOptions::txtNumber_Change() {
    keepSongCountInRange(txtNumber);
}

void frmOptions::Form_Activate() {
    if (PickerOpen) {
        PickerOpen = false;
        return;
    }
    chkInternalDlg->setChecked(
        setting(keys::kInternalDlg, QLatin1String(keys::kInternalDlgDefault)) ==
        QLatin1String("1"));

    const bool explorer =
        setting(keys::kOpenWith, QLatin1String(keys::kOpenWithDefault)).toUpper() ==
        QLatin1String("EXPLORER");
    optOpen[explorer ? 0 : 1]->setChecked(true);
    optOpen_Click(); // also when the selection did not change

    const EntryOptions entries = LoadEntries();
    chkRndPlay->setChecked(entries.present[0]);
    chkPlay->setChecked(entries.present[1]);
    chkEnqueue->setChecked(entries.present[2]); // also while the box is disabled
    chkSilent->setChecked(entries.silent);
    txtNumber->setText(entries.number);

    txtWinamp->setText(setting(keys::kPlayerPath, QString()));
    chkSplash->setChecked(leadingNumericValue(setting(keys::kSplashScreen,
                                                      QLatin1String(keys::kSplashScreenDefault))) ==
                          1);

    const QString action = setting(keys::kAction, QLatin1String(keys::kActionDefault)).toUpper();
    chkAction->setChecked(action != QLatin1String("NONE"));
    optAction[action == QLatin1String("PLAY") ? 1 : 0]->setChecked(true);
    enableAfterGenerating();

    bool anySelected = false;
    for (int i = 0; i < lstExt->count(); ++i) {
        const bool selected = SettingsStore().GetSetting(QLatin1String(keys::kSettings), extKey(i),
                                                         QString()) == QLatin1String("1");
        lstExt->item(i)->setSelected(selected);
        anySelected = anySelected || selected;
    }
    if (!anySelected)
        lstExt->item(0)->setSelected(true);

    repaint();
    QCoreApplication::processEvents();
}

void frmOptions::refusePlayer(const QString& message) {
    m_busy.set(false);
    MsgBox(message, MsgButtons::Ok, MsgIcon::Critical);
    cmdBrowse->setFocus();
    ApplyFailed = true;
}

void frmOptions::cmdApply_Click() {
    m_busy.set(true);

    if (leadingNumericValue(txtNumber->text()) < 1)
        txtNumber->setText(QStringLiteral("1000"));
    const QStringList problems =
        ApplyEntries({chkRndPlay->isChecked(), chkPlay->isChecked(), chkEnqueue->isChecked()},
                     entryNumberText(txtNumber->text()), chkSilent->isChecked());
    if (!problems.isEmpty()) {
        m_busy.set(false);
        MsgBox(QStringLiteral("The folder context-menu entries could not all be saved; "
                              "those below are as they were before or left out whole:\r\n\r\n") +
                   problems.join(QStringLiteral("\r\n")),
               MsgButtons::Ok, MsgIcon::Exclamation);
        m_busy.set(true);
    }

    const QString internalDlg =
        chkInternalDlg->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    saveSetting(keys::kInternalDlg, internalDlg);
    if (setting(keys::kInternalDlg, QString()) != internalDlg) {
        m_busy.set(false);
        MsgBox(QStringLiteral("The options cannot be saved in %1.")
                   .arg(SettingsStore::defaultFilePath()),
               MsgButtons::Ok, MsgIcon::Exclamation);
        m_busy.set(true);
    }

    if (optOpen[0]->isChecked()) {
        saveSetting(keys::kOpenWith, QStringLiteral("Explorer"));
    } else {
        saveSetting(keys::kOpenWith, QStringLiteral("Winamp"));
        if (!SkipPlayerCheck) {
            const QString player = txtWinamp->text();
            if (player.isEmpty()) {
                refusePlayer(kSetPlayer);
                return;
            }
            if (!findsOrdinaryFile(player)) {
                refusePlayer(kSetPlayer +
                             QStringLiteral("\r\n\r\nThe selected file does not exist."));
                return;
            }
            if (QFileInfo(player).isFile() && !QFileInfo(player).isExecutable()) {
                refusePlayer(kSetPlayer + QStringLiteral("\r\n\r\nThe selected file cannot be run: "
                                                         "it is not executable."));
                return;
            }
            saveSetting(keys::kPlayerPath, player);
        }
        SkipPlayerCheck = false;
    }

    saveSetting(keys::kSplashScreen,
                chkSplash->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));

    QString action = QStringLiteral("None");
    if (chkAction->isChecked())
        action = optAction[0]->isEnabled() && optAction[0]->isChecked() ? QStringLiteral("Enqueue")
                                                                        : QStringLiteral("Play");
    saveSetting(keys::kAction, action);

    for (int i = 0; i < lstExt->count(); ++i)
        saveSetting(extKey(i),
                    lstExt->item(i)->isSelected() ? QStringLiteral("1") : QStringLiteral("0"));

    m_busy.set(false);
}

void frmOptions::cmdSet_Click() {
    ApplyFailed = false;
    cmdApply_Click();
    if (!ApplyFailed)
        hide();
}

void frmOptions::cmdCancel_Click() {
    hide();
}

void frmOptions::reject() {
    // Esc and the close box: Cancel, which saves nothing.
    cmdCancel_Click();
}

void frmOptions::cmdBrowse_Click() {
    // The box as it shows now, not as stored, chooses the picker. Without the main window's
    // picker (a window made on its own) the system dialog serves.
    const bool ownPicker = chkInternalDlg->isChecked() && m_filePicker;
    frmFile* picker = ownPicker ? &m_filePicker() : nullptr;
    searchForPlayer(picker, this, txtWinamp, ownPicker, [this] {
        // Every option is saved before the picker opens; the player is checked later.
        SkipPlayerCheck = true;
        cmdApply_Click();
        PickerOpen = true;
    });
}

} // namespace mixgen

namespace mixgen {

void frmOptions::cmdStyle_Click() {
    if (!m_style)
        m_style = std::make_unique<frmStyle>();
    m_style->showModal(this);
}

} // namespace mixgen

#pragma once

#include "windows/busypointer.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace mixgen {

class frmFile;
class frmStyle;

// The options window: how playlists are opened (the associated program or a player, and the
// player's executable), what happens after a playlist is made, the splash, the file dialogs,
// the extensions the song search looks for, and the folder context-menu entries with their
// silent mode and number of songs. Every activation reloads it from the settings store and the
// registry tree; Apply and Ok save it step by step. Its buttons only hide it.
class frmOptions final : public QDialog {
    Q_OBJECT

public:
    frmOptions();
    ~frmOptions() override;

    // Shows the window modally, centred on owner (the main window or the playlist window),
    // and returns once it is hidden again.
    void showModal(QWidget* owner);
    // Where the program's own file picker comes from: the main window keeps the one picker.
    void setFilePicker(std::function<frmFile&()> picker) { m_filePicker = std::move(picker); }

    QFrame* Frame1 = nullptr;
    QFrame* Frame2 = nullptr; // opening
    QFrame* Frame3 = nullptr; // after generating
    QFrame* Frame4 = nullptr; // splash
    QFrame* Frame5 = nullptr; // context menu
    QFrame* Frame6 = nullptr; // dialogs
    QFrame* Frame7 = nullptr; // extensions

    QLabel* Label6 = nullptr;
    QListWidget* lstExt = nullptr;
    QLabel* Label5 = nullptr;

    QLabel* Label2 = nullptr;
    std::array<QRadioButton*, 2> optOpen{};
    QLabel* lblWA = nullptr;
    QLineEdit* txtWinamp = nullptr;
    QPushButton* cmdBrowse = nullptr;

    QCheckBox* chkSplash = nullptr;

    QLabel* Label1 = nullptr;
    QCheckBox* chkRndPlay = nullptr;
    QCheckBox* chkPlay = nullptr;
    QCheckBox* chkEnqueue = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* chkSilent = nullptr;
    QLabel* lblNumber = nullptr;
    QLineEdit* txtNumber = nullptr;

    QCheckBox* chkAction = nullptr;
    std::array<QRadioButton*, 2> optAction{};
    // Opens the "Playlist style" window (beyond the design's controls).
    QPushButton* cmdStyle = nullptr;

    QCheckBox* chkInternalDlg = nullptr;
    QLabel* Label3 = nullptr;

    QPushButton* cmdApply = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Set by Apply when it stops on the player checks; Ok hides the window only without it.
    bool ApplyFailed = false;
    // Set just before Apply runs on the way to the program's own file picker: Apply then
    // skips the player checks (and clears it).
    bool SkipPlayerCheck = false;
    // Set just before the program's own file picker is shown: the next activation only
    // clears it, so the picked player path is not overwritten by a reload.
    bool PickerOpen = false;

public slots:
    // Load: every control from the store and the entries.
    void Form_Activate();
    void cmdApply_Click();
    void cmdSet_Click();
    void cmdCancel_Click();
    void optOpen_Click();
    void chkAction_click();
    void txtNumber_Change();
    void cmdBrowse_Click();
    void cmdStyle_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<frmFile&()> m_filePicker;
    std::unique_ptr<frmStyle> m_style; // made on first use

    void initWindow();
    void initSplashFrame();
    void initOpeningFrame();
    void initDialogsFrame();
    void initContextMenuFrame();
    void initAfterGeneratingFrame();
    void initExtensionsFrame();
    void initButtons();
    void initTabOrder();
    void initAccessibleNames();

    // The two enabling rules.
    void enableAfterGenerating();
    void enablePlayerControls();
    // An option group is one stop of the Tab key, at its selected button.
    void passOverUnselectedOption(QObject* watched, Qt::FocusReason reason);
    // Stops Apply on the player checks with the message given.
    void refusePlayer(const QString& message);

    BusyPointer m_busy;
    QPointer<QWidget> m_lastFocus;
    // The program's own windows: another one became active since this one was, so the next
    // activation of this one reloads it.
    bool m_leftForAnotherWindow = true;
};

} // namespace mixgen

#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace mixgen {

class FolderLoader;
class frmMain;

// The splash window: the picture with the version, shown modally at every interactive start
// (it closes by itself after 3 seconds, on a click or a key, or at once when switched off), and
// the host of the loader when the command line holds "/LOADER": there every instance hands
// its folder over and ends, except the one that collects the folders for the playlist.
class frmSplash final : public QDialog {
    Q_OBJECT

public:
    explicit frmSplash(frmMain& main);
    ~frmSplash() override;

    // Shows the splash modally and returns once it is hidden (at once when it is switched off,
    // and without a display where nobody would look at it). An instance that hands its folder
    // over ends inside.
    void showModal();
    // True from the showing until the splash is hidden.
    bool isShowing() const { return m_showing; }

    QLabel* imgSplash = nullptr;
    QLabel* lblVersion = nullptr;
    QCheckBox* chkSplash = nullptr;
    QLabel* lblWait = nullptr;
    QPushButton* cmdClose = nullptr;
    QTimer* tmrSplash = nullptr;
    QTimer* tmrFolders = nullptr;

    // Clicks, Enter and Esc may close the splash.
    bool CloseAllowed = false;
    // This instance collects the folders.
    bool LoaderRole = false;
    // This instance has handed its folder over and let the lock go.
    bool FolderPosted = false;

public slots:
    void Form_Load();
    void Form_Activate();
    void cmdClose_Click();
    void Form_MouseUp();
    void lblVersion_Click();
    void tmrSplash_Timer();
    void chkSplash_Click();
    void tmrFolders_Timer();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initWindow();
    void initPicture();
    void initStrip();
    void initButton();
    void initTimers();

    bool loaderRequested() const;
    void interactiveStart();
    void handOver();
    // Ends the modal showing; start-up goes on.
    void hideSplash();

    frmMain& m_main;
    std::unique_ptr<FolderLoader> m_loader;
    bool m_showing = false;
    bool m_unloading = false;
};

} // namespace mixgen

#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mixgen {

class frmHelp;
class frmOptions;
class frmFile;
class frmFolder;
class frmPlaylist;
class frmSplash;

// The main window: it holds the one request the program works on (search paths, output
// playlist, number of songs), starts a generation in the playlist window and remembers the
// paths and output names of earlier requests. A dialog, so that Enter presses the default
// button and Esc the cancel button.
class frmMain final : public QDialog {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: histories, window titles, the tag file, then the command line (the program's
    // arguments): none shows the splash and then this window, "?" shows the help window
    // (prints the help and ends without a display), anything else is a request that runs at
    // once, after the loader's hand-over when it holds "/LOADER".
    void Form_Load(const QStringList& arguments);

    // Fills the drop-down lists of cboPath and cboOutput from the histories.
    void LoadHistory();
    // Records the current path text and output name as the newest history entries.
    void SaveHistory();

    // Shows this window again and gives it the focus. Without a display nobody could use it,
    // so the program ends instead.
    void showWithFocus();

    // The playlist window, created on first use.
    frmPlaylist& playlistWindow();
    // The folder and file pickers, created on first use.
    frmFolder& folderWindow();
    frmFile& fileWindow();
    // The splash and help windows, created on first use.
    frmSplash& splashWindow();
    frmHelp& helpWindow();
    // The options window, created on first use.
    frmOptions& optionsWindow();

    // The program's arguments joined into one text, as Form_Load got them.
    const QString& commandLine() const { return m_commandLine; }
    void setCommandLine(const QString& commandLine) { m_commandLine = commandLine; }
    // True when the command line carried a request: its runs decide the exit status.
    bool isCommandLineRequest() const { return m_commandLineRequest; }

    // Where the tag file and the help file are looked for: the executable's folder unless set.
    const QString& programFolderPath() const { return m_programFolder; }
    void setProgramFolderPath(const QString& folder) { m_programFolder = folder; }

    // The controls, named as the other windows know them.
    QFrame* fraMain = nullptr;
    QComboBox* cboPath = nullptr;
    QPushButton* cmdBrowsePath = nullptr;
    QComboBox* cboOutput = nullptr;
    QPushButton* cmdBrowseOutput = nullptr;
    QLineEdit* txtNumber = nullptr;
    QPushButton* cmdPlaylist = nullptr;
    QPushButton* cmdOptions = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdHelp = nullptr;
    QLabel* lblOutput = nullptr;
    QLabel* lblPath = nullptr;
    QLabel* lblNumber = nullptr;
    QLabel* lblTag = nullptr;

public slots:
    // Checks the request and hands it to the playlist window; false when a check failed.
    bool cmdPlaylist_Click();
    void cmdExit_Click();
    // Shows the options window modally, owned by this window.
    void cmdOptions_Click();
    void cmdHelp_Click();
    void lblTag_Click();
    void txtNumber_Change();
    void cboOutput_LostFocus();
    void cmdBrowsePath_Click();
    void cmdBrowseOutput_Click();
    // Folders dropped on the path Browse button, on the path box, and on the window or any
    // other control: appended to the path box.
    void cmdBrowsePath_OLEDragDrop(const QList<QUrl>& items);
    void cboPath_OLEDragDrop(const QList<QUrl>& items);
    void Form_OLEDragDrop(const QList<QUrl>& items);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initWindow();
    void initPathRow();
    void initOutputRow();
    void initNumberRow();
    void initTag();
    void initTabOrder();
    void initDrops();
    void initAccessibleNames();
    void showTagLabel(const QString& label);

    std::unique_ptr<frmPlaylist> m_playlist;
    std::unique_ptr<frmFolder> m_folder;
    std::unique_ptr<frmFile> m_file;
    std::unique_ptr<frmOptions> m_options;
    std::unique_ptr<frmSplash> m_splash;
    std::unique_ptr<frmHelp> m_help;
    QString m_commandLine;
    QString m_programFolder;
    bool m_commandLineRequest = false;
    bool m_unloading = false;
};

} // namespace mixgen

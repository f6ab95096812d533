#pragma once

#include "generate/foundsongs.h"
#include "generate/pickedsongs.h"

#include "windows/busypointer.h"
#include "windows/songstoremodel.h"

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QListView;
class QPushButton;

namespace mixgen {

class frmMain;
class RandomSource;
struct PlaylistStyle;

// The playlist window: showing it runs a whole generation (the overwrite question, the song
// search, the pick and the writing), then it shows the numbered playlist and hands it to the
// player or the desktop. Its tag marks command-line runs ("1": leaving the window ends the
// program) and silent runs ("2").
class frmPlaylist final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Tag READ Tag WRITE setTag)

public:
    explicit frmPlaylist(frmMain& main);
    ~frmPlaylist() override;

    QString Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // Shows the window and starts a run once the event loop is reached, also when the window
    // is visible already.
    void showForRun();
    // True from the start of a run to its end.
    bool isRunning() const { return m_running; }

    // The picked songs ("0001 <path>") and the found songs the pick left over.
    QStringList pickedSongs() const;
    QStringList foundSongs() const;

    QFrame* Frame1 = nullptr;
    QLabel* lblDone = nullptr;
    QLabel* lblWait = nullptr;
    QLabel* lblRead = nullptr;
    QPushButton* cmdEnqueue = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdRedo = nullptr;
    QPushButton* cmdClose = nullptr;
    QListView* lstFinal = nullptr;
    QListView* lstInit = nullptr;

signals:
    // A run has come to its end (whichever way it ended).
    void runFinished();

public slots:
    // One complete run.
    void Form_Activate();
    // Another window of the program became active.
    void Form_Deactivate();
    void cmdOpen_Click();
    void cmdEnqueue_Click();
    void cmdRedo_Click();
    void cmdClose_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initWindow();
    void initStatusLabels();
    void initButtons();
    void initLists();
    void initTabOrder();

    // The window is asked to unload; cancel refuses it.
    void Form_QueryUnload(bool& cancel);

    void queueRun();
    // "/S" on the command line: the window gets no size. True when it is a silent run.
    bool makeSilentRunInvisible();
    void runSteps();
    void prepareForRun();
    void showFoundSoFar(qint64 count);
    // The pick and the writing with a playlist style; returns the number of songs picked.
    int pickWithStyle(const PlaylistStyle& style, int requested, const QString& output,
                      RandomSource& random);
    void finishRun();
    // Ends the program now, or once the run in progress has cleaned up.
    void endCommandLineRun();
    bool countsAsAnotherWindow(const QWidget* window) const;
    QString playlistPath() const;

    frmMain& m_main;
    PickedSongs m_picked; // this run's songs, shown numbered
    PickedSongsModel* m_finalModel = nullptr;
    FoundSongs m_found; // what the search found and the pick left over
    FoundSongsModel* m_initModel = nullptr;
    QString m_tag;
    bool m_running = false;
    bool m_runQueued = false;
    bool m_runAgain = false;
    BusyPointer m_busy;
    bool m_unloading = false;
    bool m_exitAfterRun = false;
    bool m_writeFailed = false;  // this run's playlist could not be written
    bool m_takesNoInput = false; // from a run's start until its result is shown
    bool m_searching = false;
    bool m_closeAsked = false; // the close box was used while the search ran
};

} // namespace mixgen

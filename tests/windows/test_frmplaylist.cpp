// The playlist window hosting whole runs over a real song tree, with the real batch
// interpreter: the run's steps, the result's layout, the hand-off to the player and the rules
// for closing and leaving the window.
#include "app/programexit.h"
#include "core/settingsstore.h"
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/frmmain.h"
#include "windows/frmplaylist.h"
#include "windowstestkit.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

namespace mixgen {
namespace {

using test::ScriptedMessages;

const QStringList kSongs = {"a.mp3", "b.MP3", "c.mp2", "Disc 1/d.mp3", "Disc 1/e.mp3", "notes.txt"};

class FrmPlaylistTest : public ::testing::Test {
protected:
    FrmPlaylistTest() {
        test::clearSettings();
        test::makeSongTree(songs, kSongs);
        main.cboPath->setEditText(songs);
        main.cboOutput->setEditText(output);
        main.txtNumber->setText(QStringLiteral("3"));
    }

    QTemporaryDir dir;
    const QString songs = dir.path() + "/Songs";
    const QString output = dir.path() + "/out.M3U";
    SettingsStore store;
    frmMain main;
    frmPlaylist& playlist = main.playlistWindow();

    void setSetting(const char* key, const QString& value) const {
        store.SaveSetting("Settings", key, value);
    }
    // The create-playlist button, then the whole run.
    void runRequest() {
        ASSERT_TRUE(main.cmdPlaylist_Click());
        ASSERT_TRUE(test::waitForRun(playlist));
    }
    QStringList allSongPaths() const {
        QStringList paths;
        for (const QString& name : kSongs)
            if (!name.endsWith(".txt"))
                paths.append(songs + "/" + name);
        return paths;
    }
    // A stand-in player that records its arguments.
    QString installPlayer() {
        const QString player = dir.path() + "/player/winamp";
        test::writeRecorder(player, dir.path() + "/played");
        setSetting("Winamp.exe", player);
        return player;
    }
    QStringList played() const { return test::waitForRecording(dir.path() + "/played"); }
};

// The pick's songs must reach the file, the numbered list and nowhere twice; the leftovers
// stay found; the work files go; the window shows its result layout.
TEST_F(FrmPlaylistTest, WholeRunWritesShowsAndCleansUp) {
    ScriptedMessages messages;
    runRequest();

    const QStringList lines = test::playlistLines(output);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), 3);
    const QStringList picked = playlist.pickedSongs();
    ASSERT_EQ(picked.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(picked[i], QStringLiteral("000%1 ").arg(i + 1) + lines[i]);
        EXPECT_TRUE(allSongPaths().contains(lines[i])) << lines[i].toStdString();
    }
    EXPECT_EQ(playlist.lstFinal->model()->rowCount(), 3);
    QStringList everything = lines + playlist.foundSongs();
    everything.sort();
    QStringList expected = allSongPaths();
    expected.sort();
    EXPECT_EQ(everything, expected);
    EXPECT_TRUE(test::workFolderFiles().isEmpty())
        << test::workFolderFiles().join(' ').toStdString();

    EXPECT_TRUE(playlist.lblDone->isVisible());
    EXPECT_FALSE(playlist.lblRead->isVisible());
    EXPECT_FALSE(playlist.lblWait->isVisible());
    for (QPushButton* button : {playlist.cmdClose, playlist.cmdOpen, playlist.cmdRedo}) {
        EXPECT_TRUE(button->isVisible()) << button->text().toStdString();
        EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();
    }
    EXPECT_FALSE(playlist.cmdEnqueue->isVisible());
    EXPECT_EQ(playlist.cmdOpen->text(), "&Open playlist");
    EXPECT_FALSE(main.isVisible());
}

// More songs asked for than found: every song once, none lost.
TEST_F(FrmPlaylistTest, AskingForMoreThanFoundGivesEverySongOnce) {
    ScriptedMessages messages;
    main.txtNumber->setText(QStringLiteral("100000"));
    runRequest();
    QStringList lines = test::playlistLines(output);
    lines.sort();
    QStringList expected = allSongPaths();
    expected.sort();
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(playlist.foundSongs().isEmpty());
}

// The hidden list must show the songs the pick left, in their order, and the visible list
// the numbered picks: both lists are read from the stores only when a view asks.
TEST_F(FrmPlaylistTest, ListsShowThePicksAndTheSongsLeft) {
    ScriptedMessages messages;
    runRequest();
    const QStringList lines = test::playlistLines(output);
    const QAbstractItemModel* left = playlist.lstInit->model();
    ASSERT_EQ(left->rowCount(), 2);
    QStringList shown;
    for (int row = 0; row < left->rowCount(); ++row)
        shown.append(left->index(row, 0).data().toString());
    EXPECT_EQ(shown, playlist.foundSongs());
    QStringList expected = allSongPaths();
    for (const QString& line : lines)
        expected.removeOne(line);
    EXPECT_EQ(shown, expected) << "the songs left, in the order found";
    // The picks read their names from the found songs, also once those have let go of the
    // list file's pages.
    QCoreApplication::processEvents();
    const QAbstractItemModel* picks = playlist.lstFinal->model();
    ASSERT_EQ(picks->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(picks->index(row, 0).data().toString(),
                  QStringLiteral("000%1 ").arg(row + 1) + lines[row]);
}

// A message seam that looks at the window while a question is up.
class ProbeMessages final : public MessageSeam {
public:
    std::function<void(const QString&)> probe;
    MsgAnswer answer = MsgAnswer::Yes;
    QStringList texts;
    ProbeMessages() { setMessageSeam(this); }
    ~ProbeMessages() override { setMessageSeam(nullptr); }
    MsgAnswer show(const QString&, const QString& text, MsgIcon, MsgButtons) override {
        texts.append(text);
        if (probe)
            probe(text);
        return answer;
    }
};

// Runs action once, the first time watched is shown.
class OnShow final : public QObject {
public:
    OnShow(QWidget* watched, std::function<void()> action) : m_action(std::move(action)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && m_action)
            std::exchange(m_action, nullptr)();
        return false;
    }

private:
    std::function<void()> m_action;
};

// Catches keys typed while the window works acting on the result once it appears: Enter and
// Esc reach the window late, as a busy window gets them, and must not close the playlist.
TEST_F(FrmPlaylistTest, KeysTypedDuringTheRunAreDropped) {
    ScriptedMessages messages;
    const OnShow typeWhileBusy(playlist.lblWait, [this] {
        for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
            QCoreApplication::postEvent(&playlist, new QKeyEvent(QEvent::KeyPress, key, {}));
            QCoreApplication::postEvent(&playlist, new QKeyEvent(QEvent::KeyRelease, key, {}));
        }
    });
    runRequest();
    QTest::qWait(100);
    EXPECT_TRUE(playlist.isVisible());
    EXPECT_TRUE(playlist.cmdClose->isEnabled());
    EXPECT_FALSE(main.isVisible());
    // Keys typed once the result is shown still press Close.
    QTest::keyClick(&playlist, Qt::Key_Return);
    EXPECT_FALSE(playlist.isVisible());
}

// Catches picks shown as the playlist, with the buttons that hand it to the player, when the
// playlist could not be written (a file-size limit stands in for a full disk): the old file
// stays, and the window says only what went wrong.
TEST_F(FrmPlaylistTest, FailedWriteShowsNoPlaylistAndHandsNothingOff) {
    test::writeFile(output, "old line\r\n");
    main.setCommandLine(QStringLiteral("/Y"));
    setSetting("OpenWith", "Winamp");
    ScriptedMessages messages;
    messages.expect("An error occured while trying to write to file " + output.toUpper());
    std::unique_ptr<test::FileSizeLimit> limit;
    const OnShow fillTheDisk(playlist.lblWait,
                             [&limit] { limit = std::make_unique<test::FileSizeLimit>(10); });
    runRequest();
    limit.reset();
    messages.verifyAllShown();
    EXPECT_EQ(test::readFile(output), "old line\r\n");
    EXPECT_TRUE(playlist.pickedSongs().isEmpty());
    EXPECT_EQ(playlist.lstFinal->model()->rowCount(), 0);
    EXPECT_FALSE(playlist.lblDone->isVisible() && playlist.isVisible());
    EXPECT_FALSE(playlist.cmdOpen->isVisible() && playlist.cmdOpen->isEnabled());
    EXPECT_FALSE(playlist.cmdEnqueue->isVisible() && playlist.cmdEnqueue->isEnabled());
}

// "Winamp" in any case gives the play layout with the enqueue button; the next run goes back
// to the open caption and hides every button while it works; the redo asks about the file
// that the last run wrote.
TEST_F(FrmPlaylistTest, WinampLayoutAndItsResetOnRedo) {
    setSetting("OpenWith", "WINAMP");
    {
        ScriptedMessages messages;
        runRequest();
    }
    EXPECT_EQ(playlist.cmdOpen->text(), "&Play playlist");
    EXPECT_EQ(playlist.cmdOpen->toolTip(), "Click here to play the playlist in WinAmp");
    EXPECT_TRUE(playlist.cmdEnqueue->isVisible());
    EXPECT_TRUE(playlist.cmdEnqueue->isEnabled());

    ProbeMessages probe;
    bool looked = false;
    probe.probe = [&](const QString& text) {
        ASSERT_EQ(text, "Playlist file already exists! Overwrite file?");
        looked = true;
        EXPECT_EQ(playlist.cmdOpen->text(), "&Open playlist");
        EXPECT_EQ(playlist.cmdOpen->toolTip(), "Click here to open the playlist with the "
                                               "program associated with a playlist");
        for (QPushButton* button :
             {playlist.cmdClose, playlist.cmdOpen, playlist.cmdRedo, playlist.cmdEnqueue}) {
            EXPECT_FALSE(button->isVisible());
            EXPECT_FALSE(button->isEnabled());
        }
        EXPECT_TRUE(playlist.lblRead->isVisible());
        EXPECT_TRUE(playlist.lstFinal->model()->rowCount() == 0);
    };
    playlist.cmdRedo_Click();
    EXPECT_TRUE(looked);
    EXPECT_EQ(playlist.cmdOpen->text(), "&Play playlist");
    EXPECT_EQ(test::playlistLines(output).size(), 3);
}

// A value other than "Explorer" and "Winamp": open layout, yet open starts the player.
TEST_F(FrmPlaylistTest, OtherOpenWithValueKeepsOpenButStartsThePlayer) {
    setSetting("OpenWith", "Foobar");
    installPlayer();
    ScriptedMessages messages;
    runRequest();
    EXPECT_EQ(playlist.cmdOpen->text(), "&Open playlist");
    EXPECT_FALSE(playlist.cmdEnqueue->isVisible());
    playlist.cmdOpen_Click();
    EXPECT_EQ(played(), QStringList{output});
}

// "Explorer" (the default, any case) hands the playlist to xdg-open.
TEST_F(FrmPlaylistTest, OpenWithExplorerUsesXdgOpen) {
    setSetting("OpenWith", "explorer");
    const QString stubs = dir.path() + "/bin";
    test::writeRecorder(stubs + "/xdg-open", dir.path() + "/opened");
    test::PathPrefix prefix(stubs);
    ScriptedMessages messages;
    playlist.cmdOpen_Click();
    EXPECT_EQ(test::waitForRecording(dir.path() + "/opened"), QStringList{output});
}

// Enqueue passes "/ADD" and the path as separate arguments, blanks and all.
TEST_F(FrmPlaylistTest, EnqueueStartsThePlayerWithAdd) {
    installPlayer();
    const QString spaced = dir.path() + "/my lists/a b.M3U";
    main.cboOutput->setEditText(spaced);
    ScriptedMessages messages;
    playlist.cmdEnqueue_Click();
    EXPECT_EQ(played(), (QStringList{"/ADD", spaced}));
}

// No usable player path (none, missing, a folder): the question, and nothing started.
TEST_F(FrmPlaylistTest, EnqueueWithoutAPlayerAsks) {
    const QString question = "Cannot Enqueue playlist.\r\n\r\nPlease set Winamp Executable at "
                             "the Options screen.\r\n\r\nWould you like to go there now?";
    for (const QString& player : {QString(), dir.path() + "/missing", dir.path()}) {
        setSetting("Winamp.exe", player);
        ScriptedMessages messages;
        messages.expect(question, MsgAnswer::No);
        playlist.cmdEnqueue_Click();
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown()[0].text, question);
        EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Critical);
        EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::YesNo);
    }
}

// A player that cannot be started is named in a message of ours.
TEST_F(FrmPlaylistTest, PlayerThatCannotStartIsReported) {
    setSetting("OpenWith", "Winamp");
    setSetting("Winamp.exe", dir.path() + "/no-player");
    ScriptedMessages messages;
    messages.expect("Could not start " + dir.path() + "/no-player");
    playlist.cmdOpen_Click();
    EXPECT_EQ(messages.shown().last().icon, MsgIcon::Exclamation);
}

// The hand-off after a run: "/E" wins over "/A" and over the setting; "PLAY" opens.
TEST_F(FrmPlaylistTest, HandOffRuleAfterARun) {
    setSetting("OpenWith", "Winamp");
    installPlayer();
    ScriptedMessages messages;
    messages.allow("Playlist file already exists!", MsgAnswer::Yes);

    setSetting("Action", "PLAY");
    runRequest();
    EXPECT_EQ(played(), QStringList{output});

    QFile::remove(dir.path() + "/played");
    main.setCommandLine(QStringLiteral("/A /E"));
    runRequest();
    EXPECT_EQ(played(), (QStringList{"/ADD", output}));

    QFile::remove(dir.path() + "/played");
    setSetting("Action", "None");
    main.setCommandLine(QStringLiteral("/a"));
    runRequest();
    EXPECT_EQ(played(), QStringList{output});
}

// The overwrite question: No goes back to the main window and leaves the file alone; "/Y"
// overwrites without asking.
TEST_F(FrmPlaylistTest, OverwriteQuestion) {
    test::writeFile(output, "keep me\r\n");
    {
        ScriptedMessages messages;
        messages.expect("Playlist file already exists! Overwrite file?", MsgAnswer::No);
        runRequest();
        EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::YesNoCancel);
    }
    EXPECT_EQ(test::readFile(output), "keep me\r\n");
    EXPECT_FALSE(playlist.isVisible());
    EXPECT_TRUE(main.isVisible());

    // Cancel outside a command-line run behaves as No.
    {
        ScriptedMessages messages;
        messages.expect("Playlist file already exists!", MsgAnswer::Cancel);
        runRequest();
    }
    EXPECT_EQ(test::readFile(output), "keep me\r\n");
    EXPECT_TRUE(main.isVisible());

    main.setCommandLine(QStringLiteral("/Y"));
    ScriptedMessages messages;
    runRequest();
    EXPECT_EQ(test::playlistLines(output).size(), 3);
}

// Nothing found: the file is emptied, the message comes, the window closes to the main one.
TEST_F(FrmPlaylistTest, EmptyResultClosesToTheMainWindow) {
    QDir().mkpath(dir.path() + "/empty");
    main.cboPath->setEditText(dir.path() + "/empty");
    test::writeFile(output, "old\r\n");
    ScriptedMessages messages;
    messages.allow("Playlist file already exists!", MsgAnswer::Yes);
    messages.expect("No files were found. Playlist is empty.");
    runRequest();
    EXPECT_EQ(messages.shown().last().icon, MsgIcon::Information);
    EXPECT_EQ(test::readFile(output), QByteArray());
    EXPECT_FALSE(playlist.isVisible());
    EXPECT_TRUE(main.isVisible());
}

// A path list without any folder: no batch file is written, the window closes.
TEST_F(FrmPlaylistTest, NoSearchPathClosesWithoutSearching) {
    main.cboPath->setEditText(QStringLiteral(";"));
    ScriptedMessages messages;
    messages.expect("No files were found. Playlist is empty.");
    runRequest();
    EXPECT_TRUE(test::workFolderFiles().isEmpty());
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(playlist.isVisible());
}

// Esc presses Close once it is shown: the window goes, the main window comes back.
TEST_F(FrmPlaylistTest, EscapeClosesToTheMainWindow) {
    ScriptedMessages messages;
    runRequest();
    QTest::keyClick(&playlist, Qt::Key_Escape);
    EXPECT_FALSE(playlist.isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(playlist.cmdClose->isEnabled());
}

// A close request outside a command-line run is refused and brings the main window.
TEST_F(FrmPlaylistTest, CloseRequestIsRefusedOutsideCommandLineRuns) {
    ScriptedMessages messages;
    runRequest();
    EXPECT_FALSE(playlist.close());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(playlist.cmdClose->isEnabled());
}

// Leaving for another window of the program hides this one; message boxes and the window's
// own modal windows do not count as leaving.
TEST_F(FrmPlaylistTest, LeavingTheWindow) {
    ScriptedMessages messages;
    runRequest();
    ASSERT_TRUE(playlist.isVisible());

    QMessageBox box;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&box, &activate);
    QDialog child(&playlist);
    child.setModal(true);
    QApplication::sendEvent(&child, &activate);
    EXPECT_TRUE(playlist.isVisible());
    EXPECT_FALSE(main.isVisible());

    QWidget other;
    other.show();
    QApplication::sendEvent(&other, &activate);
    EXPECT_FALSE(playlist.isVisible());
    EXPECT_TRUE(main.isVisible());
}

// A command-line run (tag "1") ends the program when its window is closed, left or cancelled.
TEST_F(FrmPlaylistTest, CommandLineRunEndsTheProgramOnLeaving) {
    ScriptedMessages messages;
    runRequest();
    playlist.setTag(QStringLiteral("1"));
    setExitStatus(5);
    EXPECT_EXIT(playlist.cmdClose_Click(), ::testing::ExitedWithCode(5), "");
    EXPECT_EXIT(playlist.close(), ::testing::ExitedWithCode(5), "");
    EXPECT_EXIT(playlist.Form_Deactivate(), ::testing::ExitedWithCode(5), "");

    test::writeFile(output, "keep\r\n");
    messages.allow("Playlist file already exists!", MsgAnswer::Cancel);
    EXPECT_EXIT(playlist.cmdRedo_Click(), ::testing::ExitedWithCode(5), "");
}

// A silent run: zero size and tag "2"; with a result the program ends, without one the main
// window comes back.
TEST_F(FrmPlaylistTest, SilentRun) {
    main.setCommandLine(QStringLiteral("/S /Y"));
    setExitStatus(6);
    EXPECT_EXIT(
        {
            ScriptedMessages messages;
            main.cmdPlaylist_Click();
            test::waitForRun(playlist);
        },
        ::testing::ExitedWithCode(6), "");

    main.cboPath->setEditText(dir.path() + "/nothing");
    ScriptedMessages messages;
    messages.expect("No files were found. Playlist is empty.");
    runRequest();
    EXPECT_EQ(playlist.Tag(), "2");
    EXPECT_EQ(playlist.size(), QSize(0, 0));
    EXPECT_TRUE(main.isVisible());
}

} // namespace
} // namespace mixgen

// The options window as a user meets it: what it shows on a first run, its enabling and
// number rules, Apply's step-by-step saving and its player messages, Cancel, and the two ways
// in (the main window's Options button, the playlist window's enqueue question).
#include "app/contextmenu.h"
#include "app/filemanageractions.h"
#include "core/registry.h"
#include "core/settingsstore.h"
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/frmmain.h"
#include "windows/frmoptions.h"
#include "windows/frmplaylist.h"
#include "windowstestkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

class FrmOptionsTest : public ::testing::Test {
protected:
    FrmOptionsTest() {
        test::clearSettings();
        ApplyEntries({false, false, false}, "1000", false);
    }
    ~FrmOptionsTest() override { ApplyEntries({false, false, false}, "1000", false); }

    QString stored(const QString& key) const {
        return store.GetSetting("Settings", key, "(missing)");
    }
    QStringList selectedExtensions() const {
        QStringList texts;
        for (const QListWidgetItem* item : options.lstExt->selectedItems())
            texts.append(item->text());
        return texts;
    }
    // An executable file at path.
    static void makeProgram(const QString& path, bool executable = true) {
        test::writeFile(path, "#!/bin/sh\n");
        QFile::setPermissions(path,
                              executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    }

    QTemporaryDir dir;
    SettingsStore store;
    frmOptions options;
};

// A first run: every control shows its default, and the song search's 13 items are listed.
TEST_F(FrmOptionsTest, FirstActivationShowsTheDefaults) {
    options.Form_Activate();
    EXPECT_EQ(options.windowTitle(), "Options");
    EXPECT_TRUE(options.optOpen[0]->isChecked());
    const QList<QWidget*> disabled = {options.lblWA,        options.txtWinamp,
                                      options.cmdBrowse,    options.chkEnqueue,
                                      options.optAction[0], options.optAction[1]};
    for (QWidget* control : disabled)
        EXPECT_FALSE(control->isEnabled());
    EXPECT_EQ(options.txtWinamp->text(), "");
    for (QCheckBox* box : {options.chkRndPlay, options.chkPlay, options.chkEnqueue,
                           options.chkSilent, options.chkAction, options.chkInternalDlg})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(options.txtNumber->text(), "1000");
    EXPECT_TRUE(options.chkSplash->isChecked());
    EXPECT_TRUE(options.optAction[0]->isChecked());
    EXPECT_EQ(selectedExtensions(), QStringList{"MP?"});
    ASSERT_EQ(options.lstExt->count(), 13);
    EXPECT_EQ(options.lstExt->item(11)->text(), "ITZ ");
}

// The enabling rules, clicked in both orders, and Apply's "Action" from the enabled button.
TEST_F(FrmOptionsTest, EnablingRulesAndTheActionSaved) {
    options.Form_Activate();
    options.chkAction->setChecked(true);
    EXPECT_FALSE(options.optAction[0]->isEnabled());
    options.optOpen[1]->setChecked(true);
    EXPECT_TRUE(options.optAction[0]->isEnabled());
    EXPECT_TRUE(options.optAction[1]->isEnabled());
    options.chkEnqueue->setChecked(true);

    options.optOpen[0]->setChecked(true);
    EXPECT_FALSE(options.optAction[0]->isEnabled());
    EXPECT_FALSE(options.chkEnqueue->isEnabled());
    EXPECT_FALSE(options.chkEnqueue->isChecked());

    // "Enqueue" is selected but disabled: it does not count.
    ScriptedMessages messages;
    options.cmdApply_Click();
    EXPECT_EQ(stored("Action"), "Play");
    EXPECT_EQ(stored("OpenWith"), "Explorer");
    EXPECT_EQ(stored("SplashScreen"), "1");
}

// What a user types into the number box, and what Apply writes into the entries.
TEST_F(FrmOptionsTest, NumberBoxKeepsItsRangeAndReachesTheEntries) {
    const QList<std::pair<QString, QString>> typed = {{"", "1"},      {"-5", "1"},
                                                      {"0012", "12"}, {"12abc", "12"},
                                                      {"1e9", "1"},   {"300000", "100000"}};
    for (const auto& [text, shown] : typed) {
        options.txtNumber->setText(text);
        EXPECT_EQ(options.txtNumber->text(), shown) << text.toStdString();
    }
    options.txtNumber->setText("250");
    options.chkPlay->setChecked(true);
    options.chkSilent->setChecked(true);
    ScriptedMessages messages;
    options.cmdApply_Click();
    EXPECT_TRUE(ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(1), QString())
                    .toText()
                    .endsWith(" /N:250 /S /A /Y /LOADER"));
    EXPECT_EQ(ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(0), QString()).toText(), "");

    frmOptions reopened;
    reopened.Form_Activate();
    EXPECT_TRUE(reopened.chkPlay->isChecked());
    EXPECT_TRUE(reopened.chkSilent->isChecked());
    EXPECT_EQ(reopened.txtNumber->text(), "250");
}

// The player checks: the design's two messages and ours for a file that cannot run; the
// window stays open, and what came before the check is saved while the rest is not.
TEST_F(FrmOptionsTest, PlayerChecksStopApply) {
    options.Form_Activate();
    options.optOpen[1]->setChecked(true);
    options.chkSplash->setChecked(false);
    const QString base = "Please set Winamp Executable.";
    const QList<std::pair<QString, QString>> cases = {
        {"", base},
        {dir.path(), base + "\r\n\r\nThe selected file does not exist."},
        {dir.path() + "/missing", base + "\r\n\r\nThe selected file does not exist."},
        {dir.path() + "/plain file", base + "\r\n\r\nThe selected file cannot be run"},
    };
    makeProgram(dir.path() + "/plain file", false);
    for (const auto& [path, message] : cases) {
        options.txtWinamp->setText(path);
        ScriptedMessages messages;
        messages.expect(message);
        options.show();
        options.cmdSet_Click();
        EXPECT_TRUE(options.ApplyFailed);
        EXPECT_TRUE(options.isVisible());
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Critical);
    }
    EXPECT_EQ(stored("OpenWith"), "Winamp");
    EXPECT_EQ(stored("SplashScreen"), "(missing)");
    EXPECT_EQ(stored("Winamp.exe"), "(missing)");

    const QString player = dir.path() + "/my player/audacious";
    makeProgram(player);
    options.txtWinamp->setText(player);
    ScriptedMessages messages;
    options.cmdSet_Click();
    EXPECT_FALSE(options.ApplyFailed);
    EXPECT_FALSE(options.isVisible());
    EXPECT_EQ(stored("Winamp.exe"), player);
    EXPECT_EQ(stored("SplashScreen"), "0");
}

// Cancel keeps nothing; a deselected list comes back with "MP?"; an enqueue entry stays
// checked (and is kept) while the associated program is chosen; the activation after the
// program's own picker keeps what the picker wrote.
TEST_F(FrmOptionsTest, ReloadsFromTheStoreAndTheEntries) {
    options.Form_Activate();
    options.lstExt->clearSelection();
    ScriptedMessages messages;
    options.cmdApply_Click();
    EXPECT_EQ(stored("Ext0"), "0");
    EXPECT_EQ(stored("Ext12"), "0");
    options.lstExt->item(2)->setSelected(true);
    options.chkInternalDlg->setChecked(true);
    options.cmdCancel_Click();
    options.Form_Activate();
    EXPECT_EQ(selectedExtensions(), QStringList{"MP?"});
    EXPECT_FALSE(options.chkInternalDlg->isChecked());

    ApplyEntries({false, false, true}, "75", false);
    options.Form_Activate();
    EXPECT_TRUE(options.chkEnqueue->isChecked());
    EXPECT_FALSE(options.chkEnqueue->isEnabled());
    options.cmdApply_Click();
    EXPECT_NE(ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(2), QString()).toText(), "");

    options.txtWinamp->setText("/picked/player");
    options.PickerOpen = true;
    options.Form_Activate();
    EXPECT_FALSE(options.PickerOpen);
    EXPECT_EQ(options.txtWinamp->text(), "/picked/player");
}

// The ways in: Options in the main window, and "Yes" to the enqueue question, which opens the
// window over the playlist window without hiding it; a known player gets its own switch.
TEST_F(FrmOptionsTest, MainWindowAndEnqueueQuestionOpenTheWindow) {
    frmMain main;
    EXPECT_TRUE(main.cmdOptions->isEnabled());
    bool shownModal = false;
    QTimer::singleShot(0, [&] {
        shownModal = main.optionsWindow().isVisible() && main.optionsWindow().isModal();
        main.optionsWindow().cmdCancel_Click();
    });
    main.cmdOptions->click();
    EXPECT_TRUE(shownModal);

    // A finished run in the playlist window.
    test::makeSongTree(dir.path() + "/Songs", {"a.mp3"});
    main.cboPath->setEditText(dir.path() + "/Songs");
    main.cboOutput->setEditText(dir.path() + "/a list.M3U");
    frmPlaylist& playlist = main.playlistWindow();
    {
        ScriptedMessages messages;
        ASSERT_TRUE(main.cmdPlaylist_Click());
        ASSERT_TRUE(test::waitForRun(playlist));
    }
    bool playlistStayed = false;
    QTimer::singleShot(0, [&] {
        playlistStayed = playlist.isVisible() && main.optionsWindow().isVisible();
        main.optionsWindow().cmdCancel_Click();
    });
    {
        ScriptedMessages messages;
        messages.expect("Cannot Enqueue playlist.", MsgAnswer::Yes);
        playlist.cmdEnqueue_Click();
    }
    EXPECT_TRUE(playlistStayed);
    EXPECT_TRUE(playlist.isVisible());

    const QString player = dir.path() + "/qmmp";
    test::writeRecorder(player, dir.path() + "/enqueued");
    store.SaveSetting("Settings", "Winamp.exe", player);
    ScriptedMessages messages;
    playlist.cmdEnqueue_Click();
    EXPECT_EQ(test::waitForRecording(dir.path() + "/enqueued"),
              (QStringList{"-e", dir.path() + "/a list.M3U"}));
    playlist.hide();
}

// The Tab key stops once at an option group, at its selected button, both ways.
TEST_F(FrmOptionsTest, TabStopsAtTheSelectedOptionOnly) {
    options.show();
    options.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&options));
    options.optOpen[1]->setChecked(true);
    options.chkInternalDlg->setFocus(Qt::TabFocusReason);
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QTest::qWait(20);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(press(Qt::Key_Tab), options.optOpen[1]);
    EXPECT_EQ(press(Qt::Key_Tab), options.txtWinamp);
    EXPECT_EQ(press(Qt::Key_Tab, Qt::ShiftModifier), options.optOpen[1]);
    EXPECT_EQ(press(Qt::Key_Tab, Qt::ShiftModifier), options.chkInternalDlg);
    options.hide();
}

// A file manager's script run on two folders (one named like a command) starts the real
// program once for both, which makes one playlist of them. A folder the command line cannot
// carry is refused with a message and a failing status.
TEST_F(FrmOptionsTest, EntryActionsRunTheRealProgram) {
    const QString program = QStringLiteral(MIXGEN_BIN_DIR "/mixgen");
    ASSERT_TRUE(ApplyEntries({true, false, false}, "50", true, program).isEmpty());
    const QString script = fileManagerActionFiles(entryMenuText(0))[1];
    const QString playlist = qEnvironmentVariable("TEMP") + "/MIXGEN.M3U";
    QFile::remove(playlist);
    test::makeSongTree(dir.path() + "/Jazz $(touch pwned)", {"a.mp3"});
    test::makeSongTree(dir.path() + "/-Blues", {"b.mp3"});

    // Without a display, so that messages go to standard error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    QProcess run;
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(dir.path());
    run.start(script, {"Jazz $(touch pwned)", "-Blues"});
    ASSERT_TRUE(run.waitForFinished(10000));
    QStringList lines;
    for (int tries = 0; tries < 600 && lines.size() < 2; ++tries) {
        QThread::msleep(100);
        if (QFile::exists(playlist))
            lines = test::playlistLines(playlist);
    }
    lines.sort();
    EXPECT_EQ(lines, (QStringList{dir.path() + "/-Blues/b.mp3",
                                  dir.path() + "/Jazz $(touch pwned)/a.mp3"}));
    EXPECT_FALSE(QFile::exists(dir.path() + "/pwned"));

    QDir(dir.path()).mkdir("Rock; Pop");
    QProcess refused;
    refused.setProcessEnvironment(env);
    refused.start(program, {"--entry", "Random Playlist", dir.path() + "/Rock; Pop"});
    ASSERT_TRUE(refused.waitForFinished(30000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(
        refused.readAllStandardError().contains("cannot be searched from the context menu"));
}

} // namespace
} // namespace mixgen

// The main window: the request checks, the number box, the output name, the histories, the
// tag and help commands and the start-up from the command line.
#include "app/programexit.h"
#include "core/settingsstore.h"
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/frmmain.h"
#include "windows/frmplaylist.h"
#include "windowstestkit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

class FrmMainTest : public ::testing::Test {
protected:
    FrmMainTest() { test::clearSettings(); }

    QTemporaryDir dir;
    ScriptedMessages messages;
    frmMain main;

    SettingsStore store;
    QString stored(const char* section, const char* key) const {
        return store.GetSetting(section, key, QStringLiteral("<missing>"));
    }
    void setNumberUnchecked(const QString& text) {
        main.txtNumber->blockSignals(true);
        main.txtNumber->setText(text);
        main.txtNumber->blockSignals(false);
    }
};

// A check in the wrong order, a check that trims blanks, or a refused request that still
// records its histories or shows the playlist window.
TEST_F(FrmMainTest, RequestChecksRunInOrderAndChangeNothingWhenTheyFail) {
    messages.expect("Set path to search for mp3's first!");
    EXPECT_FALSE(main.cmdPlaylist_Click());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::Ok);

    main.cboPath->setEditText(QStringLiteral("   "));
    messages.expect("Set output file (.M3U) first!");
    EXPECT_FALSE(main.cmdPlaylist_Click());

    main.cboOutput->setEditText(dir.path() + "/x.M3U");
    setNumberUnchecked(QStringLiteral("abc"));
    messages.expect("Cannot create a playlist with 0 (zero) songs!");
    EXPECT_FALSE(main.cmdPlaylist_Click());

    EXPECT_EQ(messages.shown().size(), 3);
    EXPECT_FALSE(main.playlistWindow().isVisible());
    EXPECT_EQ(stored("PathMRU", "A"), "<missing>");
    EXPECT_EQ(stored("OutputMRU", "A"), "<missing>");
}

// A path of blanks and a fraction of a song are let through: the request is recorded, the
// main window hides and the playlist window runs it.
TEST_F(FrmMainTest, BlankPathAndFractionPassAndStartARun) {
    main.cboPath->setEditText(QStringLiteral("   "));
    main.cboOutput->setEditText(dir.path() + "/x.M3U");
    setNumberUnchecked(QStringLiteral("0.5"));
    main.show();

    messages.expect("No files were found. Playlist is empty.");
    EXPECT_TRUE(main.cmdPlaylist_Click());
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(main.playlistWindow().isVisible());
    EXPECT_EQ(stored("PathMRU", "A"), "   ");
    EXPECT_EQ(stored("OutputMRU", "A"), dir.path() + "/x.M3U");

    ASSERT_TRUE(test::waitForRun(main.playlistWindow()));
    // Nothing found: the playlist window closes and the main window is back.
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.playlistWindow().isVisible());
}

// The number box must end within 1 to 100000, as the normalised decimal text of its value,
// whether the text is set by code or typed.
TEST_F(FrmMainTest, NumberBoxKeepsItsValueInRange) {
    const QList<std::pair<QString, QString>> cases = {
        {"250000", "100000"}, {"", "1"},      {"-5", "1"},           {"12abc", "12"},
        {"007", "7"},         {"2.5", "2.5"}, {"0.5", "1"},          {"100000", "100000"},
        {" 42", "42"},        {"abc", "1"},   {"99999.5", "99999.5"}};
    for (const auto& [typed, shown] : cases) {
        main.txtNumber->setText(typed);
        EXPECT_EQ(main.txtNumber->text(), shown) << "typed " << typed.toStdString();
    }

    main.txtNumber->selectAll();
    QTest::keyClicks(main.txtNumber, QStringLiteral("250000"));
    EXPECT_EQ(main.txtNumber->text(), "100000");
    main.txtNumber->selectAll();
    QTest::keyClick(main.txtNumber, Qt::Key_Delete);
    EXPECT_EQ(main.txtNumber->text(), "1");
}

// The extension rule: added when missing, any letter case accepted, an empty box left empty;
// and it must run when the focus really leaves the box.
TEST_F(FrmMainTest, OutputNameGetsItsExtensionWhenLeft) {
    const QList<std::pair<QString, QString>> cases = {{"/lists/rock", "/lists/rock.M3U"},
                                                      {"a.M3U", "a.M3U"},
                                                      {"A.m3u", "A.m3u"},
                                                      {"", ""},
                                                      {"ab", "ab.M3U"},
                                                      {"party.m3", "party.m3.M3U"},
                                                      {"utf.m3U8", "utf.m3U8"}};
    for (const auto& [typed, left] : cases) {
        main.cboOutput->setEditText(typed);
        main.cboOutput_LostFocus();
        EXPECT_EQ(main.cboOutput->currentText(), left) << typed.toStdString();
    }

    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    main.cboOutput->setFocus();
    main.cboOutput->setEditText(QStringLiteral("/lists/jazz"));
    main.txtNumber->setFocus();
    EXPECT_EQ(main.cboOutput->currentText(), "/lists/jazz.M3U");
}

// The lists must show the stored entries newest first, skip empty keys and not list "P"; a
// request updates the store but not the running window's lists.
TEST_F(FrmMainTest, HistoriesLoadAndSave) {
    store.SaveSetting("PathMRU", "A", "/Music/New");
    store.SaveSetting("PathMRU", "B", "");
    store.SaveSetting("PathMRU", "C", "/Music/Old");
    store.SaveSetting("PathMRU", "P", "/Music/Gone");
    store.SaveSetting("OutputMRU", "A", "/lists/a.M3U");
    main.LoadHistory();
    ASSERT_EQ(main.cboPath->count(), 2);
    EXPECT_EQ(main.cboPath->itemText(0), "/Music/New");
    EXPECT_EQ(main.cboPath->itemText(1), "/Music/Old");
    ASSERT_EQ(main.cboOutput->count(), 1);
    EXPECT_EQ(main.cboPath->currentText(), "");

    main.cboPath->setEditText(QStringLiteral("/Music/Old"));
    main.cboOutput->setEditText(QStringLiteral("/lists/b.M3U"));
    main.SaveHistory();
    EXPECT_EQ(stored("PathMRU", "A"), "/Music/Old");
    EXPECT_EQ(stored("PathMRU", "B"), "/Music/New");
    EXPECT_EQ(stored("PathMRU", "C"), "");
    EXPECT_EQ(stored("OutputMRU", "A"), "/lists/b.M3U");
    EXPECT_EQ(stored("OutputMRU", "B"), "/lists/a.M3U");
    EXPECT_EQ(main.cboPath->count(), 2);
}

// The tag hint must name the tag file in upper case; a click on the label shows it.
TEST_F(FrmMainTest, TagLabelClickNamesTheTagFile) {
    main.setProgramFolderPath(QStringLiteral("/opt/Mixgen/"));
    messages.expect("You can change this tag by editing this file:\r\n\r\n/OPT/MIXGEN/MIXGEN.TAG");
    main.show();
    QTest::mouseClick(main.lblTag, Qt::LeftButton);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text,
              "You can change this tag by editing this file:\r\n\r\n/OPT/MIXGEN/MIXGEN.TAG");
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Information);
}

// The about box: title, version and the folder in upper case without a doubled or trailing
// "/"; then the help file is handed to xdg-open, or a failed start is reported.
TEST_F(FrmMainTest, HelpShowsTheAboutBoxThenOpensTheHelpFile) {
    const QString stubs = dir.path() + "/bin";
    test::writeRecorder(stubs + "/xdg-open", dir.path() + "/opened");
    test::PathPrefix prefix(stubs);

    main.setProgramFolderPath(dir.path() + "/Prog/");
    messages.expect("MP3 Tunepicker v2.2.3\r\n\r\nRunning in " + (dir.path() + "/Prog").toUpper());
    main.cmdHelp_Click();
    EXPECT_EQ(messages.shown().last().icon, MsgIcon::Information);
    EXPECT_EQ(test::waitForRecording(dir.path() + "/opened"),
              QStringList{dir.path() + "/Prog/MIXGEN.TXT"});

    // At the root the folder keeps its one "/".
    QFile::remove(dir.path() + "/opened");
    main.setProgramFolderPath(QStringLiteral("/"));
    messages.expect("MP3 Tunepicker v2.2.3\r\n\r\nRunning in /");
    main.cmdHelp_Click();
    EXPECT_TRUE(messages.shown().last().text.endsWith("Running in /"));
    EXPECT_EQ(test::waitForRecording(dir.path() + "/opened"), QStringList{"/MIXGEN.TXT"});
}

TEST_F(FrmMainTest, HelpReportsAnEditorThatCannotStart) {
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path() + "/nothing-here"));
    messages.expect("Running in ").expect("Could not start xdg-open");
    main.cmdHelp_Click();
    qputenv("PATH", oldPath);
    EXPECT_EQ(messages.shown().last().icon, MsgIcon::Exclamation);
}

// The tag label shows one line per item of the tag file; without a file one is created.
TEST_F(FrmMainTest, StartUpReadsOrCreatesTheTagFile) {
    main.setProgramFolderPath(dir.path() + "/");
    test::writeFile(dir.path() + "/MIXGEN.TAG", "Party, Mix\r\n\"a, b\"\r\n");
    main.Form_Load({});
    EXPECT_EQ(main.lblTag->text(), "Party\nMix\na, b");
    EXPECT_EQ(main.windowTitle(), "MP3 Tunepicker");
    EXPECT_EQ(main.playlistWindow().windowTitle(), "MP3 Tunepicker");
    // No command line: the main window is shown.
    EXPECT_TRUE(main.isVisible());

    frmMain second;
    second.setProgramFolderPath(dir.path() + "/fresh/");
    QDir().mkpath(dir.path() + "/fresh");
    second.Form_Load({});
    EXPECT_EQ(second.lblTag->text(), "MP3\nTunepicker\nv2.2.3");
    EXPECT_EQ(test::readFile(dir.path() + "/fresh/MIXGEN.TAG"), "MP3\r\nTunepicker\r\nv2.2.3\r\n");
}

// A command line with a request fills the three fields, marks the playlist window and runs
// at once; the output name goes into the searched folder with its extension.
TEST_F(FrmMainTest, CommandLineRequestRunsAtOnce) {
    const QString songs = dir.path() + "/My Songs";
    test::makeSongTree(songs, {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "sub/e.mp3"});
    main.setProgramFolderPath(dir.path() + "/");

    main.Form_Load({"/P:" + songs, "/O:party", "/N:3", "/Y"});
    EXPECT_EQ(main.cboPath->currentText(), songs);
    EXPECT_EQ(main.cboOutput->currentText(), songs + "/party.M3U");
    EXPECT_EQ(main.txtNumber->text(), "3");
    EXPECT_EQ(main.playlistWindow().Tag(), "1");
    EXPECT_TRUE(main.isCommandLineRequest());
    ASSERT_TRUE(test::waitForRun(main.playlistWindow()));

    EXPECT_EQ(test::playlistLines(songs + "/party.M3U").size(), 3);
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(stored("PathMRU", "A"), songs);
    EXPECT_EQ(stored("OutputMRU", "A"), songs + "/party.M3U");
}

// A request that fails its check leaves the main window shown, holding what was cut.
TEST_F(FrmMainTest, CommandLineWithoutPathShowsTheMainWindow) {
    main.setProgramFolderPath(dir.path() + "/");
    messages.expect("Set path to search for mp3's first!");
    main.Form_Load({"/P:", "/N:5"});
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.cboPath->currentText(), "");
    EXPECT_EQ(main.txtNumber->text(), "5");
    EXPECT_FALSE(main.playlistWindow().isVisible());
}

// Enter must press "Create playlist" (its check speaks) and not close the window.
TEST_F(FrmMainTest, EnterPressesCreatePlaylist) {
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    main.txtNumber->setFocus();
    messages.expect("Set path to search for mp3's first!");
    QTest::keyClick(main.txtNumber, Qt::Key_Return);
    EXPECT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(main.isVisible());
}

// Esc, Exit and the window's close box all end the program.
TEST_F(FrmMainTest, ExitEndsTheProgram) {
    // The status shows that the program's own exit was taken.
    setExitStatus(7);
    EXPECT_EXIT(main.cmdExit_Click(), ::testing::ExitedWithCode(7), "");
    EXPECT_EXIT(
        {
            main.show();
            QTest::keyClick(&main, Qt::Key_Escape);
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_EXIT(
        {
            main.show();
            main.close();
        },
        ::testing::ExitedWithCode(7), "");
}

// The unfinished windows' buttons are disabled rather than silent.
TEST_F(FrmMainTest, ButtonsForLaterWindowsAreDisabled) {
    // The pickers exist: both Browse buttons work.
    EXPECT_TRUE(main.cmdBrowsePath->isEnabled());
    EXPECT_TRUE(main.cmdBrowseOutput->isEnabled());
    // The options window exists too.
    EXPECT_TRUE(main.cmdOptions->isEnabled());
    EXPECT_TRUE(main.cmdPlaylist->isEnabled());
    EXPECT_TRUE(main.cmdPlaylist->isDefault());
}

// The text typed in a box must survive the loading of its list.
TEST_F(FrmMainTest, LoadingTheHistoriesKeepsTheTexts) {
    store.SaveSetting("PathMRU", "A", "/Music/New");
    main.cboPath->setEditText(QStringLiteral("/typed"));
    main.LoadHistory();
    EXPECT_EQ(main.cboPath->currentText(), "/typed");
    EXPECT_EQ(main.cboPath->count(), 1);
}

// A long path list cut short in silence (the line edit's default limit is 32767 characters):
// the last folder would become its parent, and other songs would play.
TEST_F(FrmMainTest, LongPathListsAreKeptWhole) {
    QStringList folders;
    for (int i = 0; i < 5000; ++i)
        folders.append(QStringLiteral("/srv/music/folder number %1").arg(i));
    const QString list = folders.join(u';');
    main.cboPath->setEditText(list);
    main.cboOutput->setEditText(list);
    EXPECT_EQ(main.cboPath->currentText(), list);
    EXPECT_EQ(main.cboOutput->currentText(), list);
}

} // namespace
} // namespace mixgen

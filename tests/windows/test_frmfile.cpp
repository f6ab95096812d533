// The file picker in both modes, the player search that prepares it or the system dialog, and
// the main window's output chooser.
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "pickertestkit.h"
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/frmfile.h"
#include "windows/frmmain.h"
#include "windows/frmoptions.h"
#include "windows/pickerlists.h"
#include "windows/playersearch.h"
#include "windowstestkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

class FrmFileTest : public ::testing::Test {
protected:
    FrmFileTest() {
        test::clearSettings();
        test::writeFile(path("Lists/b.M3U"), "");
        test::writeFile(path("Lists/A.m3u"), "");
        test::writeFile(path("Lists/c.m3u8"), "");
        test::writeFile(path("Lists/.hidden.m3u"), "");
        test::writeFile(path("Lists/notes.txt"), "");
        QDir().mkpath(path("Lists/c.m3u.d"));
        makeProgram("bin/player");
        makeProgram("bin/other");
        test::writeFile(path("bin/readme"), "");
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void makeProgram(const QString& name) {
        test::writeFile(path(name), "#!/bin/sh\n");
        QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList listedFiles() const {
        return static_cast<QStringListModel*>(picker.File1->model())->stringList();
    }
    // The picker in playlist mode at folder, with name typed and the box left.
    QString savedAs(const QString& folder, const QString& name) {
        picker.setTag("1");
        picker.Dir1->setPath(folder);
        picker.txtFilename->setText(name);
        picker.txtFilename_LostFocus();
        picker.cmdSet_Click();
        return main.cboOutput->currentText();
    }
    QString playerChosen(const QString& folder, const QString& name) {
        picker.setTag("2");
        picker.setPlayerBox(&txtWinamp);
        picker.Dir1->setPath(folder);
        picker.txtFilename->setText(name);
        picker.cmdSet_Click();
        return txtWinamp.text();
    }

    QTemporaryDir dir;
    ScriptedMessages messages;
    frmMain main;
    frmFile& picker = main.fileWindow();
    QLineEdit txtWinamp;
};

// The ".M3U" rule on leaving the name box, a doubled "/" at the root, a name with a folder
// not taken from the drive, or a full name not kept as typed.
TEST_F(FrmFileTest, PlaylistModeBuildsTheOutputName) {
    EXPECT_EQ(savedAs(path("Lists"), "rock"), path("Lists/rock.M3U"));
    EXPECT_EQ(savedAs("/", "x.m3u"), "/x.m3u");
    EXPECT_EQ(savedAs(path("Lists"), "abcd"), path("Lists/abcd.M3U"));
    EXPECT_EQ(savedAs(path("Lists"), "Music/all.m3u"), "/Music/all.m3u");
    EXPECT_EQ(savedAs(path("Lists"), "/Other/all.m3u"), "/Other/all.m3u");
    EXPECT_EQ(savedAs(path("Lists"), "x y \"q\".M3u"), path("Lists/x y \"q\".M3u"));
    EXPECT_EQ(savedAs(path("Lists"), "utf.M3U8"), path("Lists/utf.M3U8"));

    picker.txtFilename->setText("");
    picker.txtFilename_LostFocus();
    EXPECT_EQ(picker.txtFilename->text(), "");
    main.cboOutput->setEditText("kept");
    picker.show();
    messages.expect("Please enter output playlist filename.");
    picker.cmdSet_Click();
    EXPECT_EQ(main.cboOutput->currentText(), "kept");
    EXPECT_TRUE(picker.isVisible());
    messages.verifyAllShown();
}

// A player that is not there accepted, a folder taken for the player, or a typed full path
// changed.
TEST_F(FrmFileTest, PlayerModeTakesOnlyAnExistingFile) {
    EXPECT_EQ(playerChosen(path("bin"), "player"), path("bin/player"));
    EXPECT_EQ(playerChosen("/", path("bin/other")), path("bin/other"));

    txtWinamp.setText("kept");
    picker.show();
    messages.expect("Winamp executable not found!");
    EXPECT_EQ(playerChosen(path("bin"), "missing"), "kept");
    messages.expect("Winamp executable not found!");
    EXPECT_EQ(playerChosen(path(""), "Lists"), "kept");
    messages.expect("Please select Winamp executable.");
    EXPECT_EQ(playerChosen(path("bin"), "abc"), "kept");
    EXPECT_TRUE(picker.isVisible());
    messages.verifyAllShown();
    EXPECT_EQ(messages.shown().value(0).icon, MsgIcon::Critical);
}

// Hidden files, folders or other names in the lists, a case-sensitive pattern, and a long
// folder shown uncut.
TEST_F(FrmFileTest, ListsAndTheShownFolder) {
    picker.File1->setPattern("*.M3U");
    picker.Dir1->setPath(path("Lists"));
    EXPECT_EQ(listedFiles(), QStringList({"A.m3u", "b.M3U"}));
    EXPECT_EQ(picker.txtPath->text(), shownFolderText(path("Lists")));

    picker.File1->setExecutablesOnly(true);
    picker.Dir1->setPath(path("bin"));
    EXPECT_EQ(listedFiles(), QStringList({"other", "player"}));

    EXPECT_EQ(shownFolderText("/"), "/");
    EXPECT_EQ(shownFolderText("/" + QString(38, u'a')), "/" + QString(38, u'a') + "/");
    const QString sixty = "/" + QString(29, u'a') + "/" + QString(29, u'b');
    EXPECT_EQ(shownFolderText(sixty), "/aaaaaaaaaaaa.....bbbbbbbbbbbb/");
}

// The first fixed place must win, a player box of more than 3 characters must be the start,
// and without either the picker starts at the root with an empty name.
TEST_F(FrmFileTest, PlayerPickerStartsAtTheBoxOrTheFirstPlayerFound) {
    const QList<FixedPlayerPlace> places = {{path("nowhere/player"), path("nowhere")},
                                            {path("bin/other"), path("bin")},
                                            {path("bin/player"), path("bin")}};
    preparePlayerPicker(picker, "", places);
    EXPECT_EQ(picker.windowTitle(), "Set Winamp executable");
    EXPECT_EQ(picker.Tag(), "2");
    EXPECT_EQ(picker.Dir1->path(), path("bin"));
    EXPECT_EQ(picker.txtFilename->text(), "other");
    EXPECT_EQ(listedFiles(), QStringList({"other", "player"}));

    preparePlayerPicker(picker, path("bin/player"), places);
    EXPECT_EQ(picker.File1->path(), path("bin"));
    EXPECT_EQ(picker.txtFilename->text(), "player");

    preparePlayerPicker(picker, "/ab", places.mid(0, 1));
    EXPECT_EQ(picker.Dir1->path(), "/");
    EXPECT_EQ(picker.txtFilename->text(), "");
}

// The options are saved before the own picker opens; the picker's choice reaches the player
// box; the system dialog starts at the player found, and its cancel changes nothing.
TEST_F(FrmFileTest, PlayerSearchWithEitherDialog) {
    const QList<FixedPlayerPlace> places = {{path("bin/player"), path("bin")}};
    bool pickerShownBeforeSaving = true;
    test::whenShown(picker, [&] {
        picker.txtFilename->setText("other");
        picker.cmdSet->click();
    });
    searchForPlayer(
        &picker, &main, &txtWinamp, true, [&] { pickerShownBeforeSaving = picker.isVisible(); },
        places);
    EXPECT_FALSE(pickerShownBeforeSaving);
    EXPECT_EQ(txtWinamp.text(), path("bin/other"));

    QString title;
    QStringList preset;
    test::whenFileDialogShown([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        preset = dialog.selectedFiles();
        dialog.reject();
    });
    searchForPlayer(&picker, &main, &txtWinamp, false, nullptr, places);
    EXPECT_EQ(title, "Select Winamp Executable");
    EXPECT_EQ(preset, QStringList(path("bin/player")));
    EXPECT_EQ(txtWinamp.text(), path("bin/other"));

    test::whenFileDialogShown([&](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
    searchForPlayer(&picker, &main, &txtWinamp, false, nullptr, places);
    EXPECT_EQ(txtWinamp.text(), path("bin/player"));
}

// The options window's Browse button follows its "Internal dialogs only" box as it shows,
// saves the options first, and gets the player chosen in the main window's picker.
TEST_F(FrmFileTest, OptionsBrowseButtonUsesTheOwnPickerWhenItsBoxIsTicked) {
    frmOptions& options = main.optionsWindow();
    options.chkInternalDlg->setChecked(true);
    QString caption;
    test::whenShown(picker, [&] {
        caption = picker.windowTitle();
        picker.txtFilename->setText(path("bin/player"));
        picker.cmdSet->click();
    });
    options.cmdBrowse_Click();
    EXPECT_EQ(caption, "Set Winamp executable");
    EXPECT_EQ(options.txtWinamp->text(), path("bin/player"));
    EXPECT_EQ(SettingsStore().GetSetting(keys::kSettings, keys::kInternalDlg, "<missing>"), "1");
}

// The output chooser's own picker: where it starts for a full output name, a bare name and an
// empty one, and that a cancel keeps the output box.
TEST_F(FrmFileTest, OutputChooserPreparesTheOwnPicker) {
    SettingsStore().SaveSetting(keys::kSettings, keys::kInternalDlg, "1");
    main.show();
    const auto openedWith = [&](const QString& output, const QString& paths) {
        main.cboOutput->setEditText(output);
        main.cboPath->setEditText(paths);
        QStringList seen;
        test::whenShown(picker, [&] {
            seen = {picker.windowTitle(), picker.cmdSet->text(), picker.Dir1->path(),
                    picker.txtFilename->text()};
            QTest::keyClick(&picker, Qt::Key_Escape);
        });
        main.cmdBrowseOutput->click();
        EXPECT_EQ(main.cboOutput->currentText(), output);
        return seen;
    };
    EXPECT_EQ(openedWith(path("Lists/b.M3U"), ""),
              QStringList({"Save playlist", "&Save", path("Lists"), "b.M3U"}));
    EXPECT_EQ(listedFiles(), QStringList({"A.m3u", "b.M3U", "c.m3u8"}));
    EXPECT_EQ(openedWith("rock.m3u", "").value(3), "MIXGEN.M3U");
    EXPECT_EQ(openedWith("", path("bin")).mid(2), QStringList({path("bin"), "MIXGEN.M3U"}));
    EXPECT_EQ(openedWith("", "").mid(2), QStringList({"/", "MIXGEN.M3U"}));

    test::whenShown(picker, [&] { picker.cmdSet->click(); });
    main.cmdBrowseOutput_Click();
    EXPECT_EQ(main.cboOutput->currentText(), "/MIXGEN.M3U");
}

// The system save dialog: its title and filter, the name it starts with, a cancel that keeps
// the output box, and a choice that lands in it.
TEST_F(FrmFileTest, OutputChooserSystemDialog) {
    main.cboOutput->setEditText(path("Lists/b.M3U"));
    QStringList seen;
    test::whenFileDialogShown([&](QFileDialog& dialog) {
        seen = QStringList{dialog.windowTitle()} + dialog.nameFilters() + dialog.selectedFiles();
        dialog.reject();
    });
    main.cmdBrowseOutput_Click();
    EXPECT_EQ(seen,
              QStringList({"Choose output file", "Playlists (*.m3u *.m3u8)", path("Lists/b.M3U")}));
    EXPECT_EQ(main.cboOutput->currentText(), path("Lists/b.M3U"));

    main.cboOutput->setEditText("");
    main.cboPath->setEditText(path("Lists"));
    test::whenFileDialogShown([&](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
    main.cmdBrowseOutput_Click();
    EXPECT_EQ(main.cboOutput->currentText(), path("Lists/MIXGEN.M3U"));
}

} // namespace
} // namespace mixgen

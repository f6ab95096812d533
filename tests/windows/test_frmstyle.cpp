// The "Playlist style" window, reached from the options window, and what its choices do to a
// run of the playlist window.
#include "app/stylechoices.h"
#include "core/settingsstore.h"
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/formstyle.h"
#include "windows/frmmain.h"
#include "windows/frmoptions.h"
#include "windows/frmplaylist.h"
#include "windows/frmstyle.h"
#include "windowstestkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

class FrmStyleTest : public ::testing::Test {
protected:
    FrmStyleTest() { test::clearSettings(); }
    ~FrmStyleTest() override { test::clearSettings(); }
};

// Catches a style window that cannot be reached from the options window, that stores nothing
// on Ok (or something on Cancel), or whose return makes the options window reload and lose
// the user's unsaved edits.
TEST_F(FrmStyleTest, ReachedFromOptionsOkStoresCancelDoesNot) {
    frmOptions options;
    // The activations a desktop would send (the offscreen platform sends none).
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&options, &activate); // loads it
    ASSERT_NE(options.cmdStyle, nullptr);
    EXPECT_EQ(options.cmdStyle->parentWidget(), options.Frame3);
    EXPECT_TRUE(options.Frame3->rect().contains(options.cmdStyle->geometry()));
    const bool splash = options.chkSplash->isChecked();
    options.chkSplash->setChecked(!splash); // an edit not yet applied

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* style = qobject_cast<frmStyle*>(QApplication::activeModalWidget());
        ASSERT_NE(style, nullptr);
        shown = style->isVisible() && style->windowTitle() == "Playlist style";
        QApplication::sendEvent(style, &activate);
        EXPECT_FALSE(style->txtMinutes->isEnabled());
        style->chkMinutes->setChecked(true);
        EXPECT_TRUE(style->txtMinutes->isEnabled());
        style->txtMinutes->setText("90000");
        EXPECT_EQ(style->txtMinutes->text(), "6000");
        style->txtMinutes->setText("45");
        style->chkBalance->setChecked(true);
        style->chkRelative->setChecked(true);
        style->cmdSet->click();
    });
    options.cmdStyle->click();
    QApplication::sendEvent(&options, &activate);
    EXPECT_TRUE(shown);
    PlaylistStyle expected;
    expected.minutes = 45;
    expected.balance = true;
    expected.relative = true;
    EXPECT_EQ(storedStyle(), expected);
    EXPECT_EQ(options.chkSplash->isChecked(), !splash);

    QTimer::singleShot(0, [&] {
        auto* style = qobject_cast<frmStyle*>(QApplication::activeModalWidget());
        ASSERT_NE(style, nullptr);
        EXPECT_TRUE(style->chkMinutes->isChecked());
        EXPECT_EQ(style->txtMinutes->text(), "45");
        style->chkMinutes->setChecked(false);
        style->chkExtended->setChecked(true);
        style->cmdCancel->click();
    });
    options.cmdStyle->click();
    EXPECT_EQ(storedStyle(), expected);
}

// Catches a style window out of the program's look: a resizable window, another colour, or
// a control that does not fit in it.
TEST_F(FrmStyleTest, HasTheWindowsLook) {
    frmStyle style;
    EXPECT_EQ(style.minimumSize(), style.maximumSize());
    EXPECT_EQ(style.palette().color(QPalette::Window), formBackColour());
    EXPECT_EQ(style.font().family(), formFont().family());
    for (QWidget* control : std::initializer_list<QWidget*>{
             style.chkMinutes, style.txtMinutes, style.chkBalance, style.chkExtended,
             style.chkRelative, style.cmdSet, style.cmdCancel})
        EXPECT_TRUE(style.Frame1->rect().contains(control->geometry()))
            << control->metaObject()->className();
    EXPECT_TRUE(style.rect().contains(style.Frame1->geometry()));
}

// Catches a length target that the playlist window's status line does not report, or a
// status line that keeps it for the next run without one.
TEST_F(FrmStyleTest, StatusLineSaysTheTotalLength) {
    QTemporaryDir dir;
    // Empty files have no length: three minutes each.
    test::makeSongTree(dir.path() + "/Songs", {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"});
    frmMain main;
    main.cboPath->setEditText(dir.path() + "/Songs");
    main.cboOutput->setEditText(dir.path() + "/out.M3U");
    main.txtNumber->setText("100");
    PlaylistStyle style;
    style.minutes = 10;
    saveStyle(style);
    frmPlaylist& playlist = main.playlistWindow();
    {
        ScriptedMessages messages;
        ASSERT_TRUE(main.cmdPlaylist_Click());
        ASSERT_TRUE(test::waitForRun(playlist));
    }
    EXPECT_EQ(test::playlistLines(dir.path() + "/out.M3U").size(), 3);
    EXPECT_EQ(playlist.lblDone->text(), "Done. Total length 9:00.");

    saveStyle(PlaylistStyle());
    {
        ScriptedMessages messages;
        messages.expect("Playlist file already exists! Overwrite file?", MsgAnswer::Yes);
        playlist.cmdRedo_Click(); // runs the whole request again before it returns
    }
    EXPECT_EQ(test::playlistLines(dir.path() + "/out.M3U").size(), 5);
    EXPECT_EQ(playlist.lblDone->text(), "Done. Playlist is shown below.");
}

} // namespace
} // namespace mixgen

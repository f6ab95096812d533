// The help window: its text in a fixed-pitch font, the hidden message, the start-up path that
// shows it, and its Close button ending the program.
#include "app/helptext.h"
#include "scriptedmessages.h"
#include "windows/frmhelp.h"
#include "windows/frmmain.h"
#include "windows/frmplaylist.h"
#include "windowstestkit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

// Catches a proportional font (the columns would not line up), a text cut by the window, or a
// window that is not the program's. It checks what the user sees, every character as wide as
// the others and each description at the same place, not what fontconfig calls the font (Noto
// Sans Mono has equal advances but is not marked monospaced).
TEST(FrmHelp, ShowsTheHelpTextWholeInAFixedPitchFont) {
    frmHelp help;
    EXPECT_EQ(help.windowTitle(), "MP3 Tunepicker");
    EXPECT_EQ(help.lblText->text(), commandLineHelpText().replace("\r\n", "\n"));
    const QStringList lines = help.lblText->text().split(u'\n');
    ASSERT_EQ(lines.size(), 18); // the design's 13, then the playlist style's switches
    EXPECT_EQ(lines[9].indexOf("Loader"), 27);

    const QFontMetricsF exact(help.lblText->font());
    const qreal advance = exact.horizontalAdvance(u'M');
    QString otherWidths;
    for (const QChar c : lines.join(QString()))
        if (exact.horizontalAdvance(c) != advance && !otherWidths.contains(c))
            otherWidths += c;
    EXPECT_EQ(otherWidths, QString());
    for (qsizetype i = 2; i <= 10; ++i)
        EXPECT_NEAR(exact.horizontalAdvance(lines[i].left(27)), 27 * advance, 0.5)
            << lines[i].toStdString();
    const QFontMetrics metrics(help.lblText->font());
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), help.lblText->width()) << line.toStdString();
    EXPECT_LE(help.lblText->geometry().bottom(), help.cmdClose->y());
    EXPECT_TRUE(help.rect().contains(help.cmdClose->geometry()));
}

// A click on the text shows the stop-icon message with the version, and nothing else.
TEST(FrmHelp, ClickOnTheTextShowsTheHiddenMessage) {
    test::ScriptedMessages messages;
    frmHelp help;
    help.show();
    messages.expect("      WHY ARE YOU CLICKING THERE?      \r\n\r\n         MP3 Tunepicker v2.2.3"
                    "\r\n\r\n");
    QTest::mouseClick(help.lblText, Qt::LeftButton);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(help.isVisible());
}

// "/?" with a display: the help window instead of the main window, no splash, no run.
TEST(FrmHelp, StartUpWithQuestionMarkShowsIt) {
    test::clearSettings();
    frmMain main;
    main.Form_Load({"/P:/x", "/?"});
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(main.helpWindow().isVisible());
    EXPECT_EQ(main.playlistWindow().Tag(), "1");
    EXPECT_FALSE(main.playlistWindow().isVisible());
}

// Close ends the program with success, however the window is closed.
TEST(FrmHelpDeathTest, CloseEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            frmHelp help;
            help.show();
            help.cmdClose->click();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            frmHelp help;
            help.show();
            QTest::keyClick(&help, Qt::Key_Escape);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace mixgen

// The splash window: its layout and picture, the "SplashScreen" setting, the ways it closes,
// and the loader's hand-over inside it.
#include "app/loader.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "platform/folders.h"
#include "scriptedmessages.h"
#include "windows/frmmain.h"
#include "windows/frmsplash.h"
#include "windowstestkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace mixgen {
namespace {

class FrmSplashTest : public ::testing::Test {
protected:
    FrmSplashTest() { test::clearSettings(); }

    // Runs check once the splash is up (or would be), then shows it modally until it hides.
    static void showWhile(frmSplash& splash, int afterMs, const std::function<void()>& check) {
        QTimer::singleShot(afterMs, &splash, check);
        splash.showModal();
    }
    QString stored() const {
        return store.GetSetting(keys::kSettings, keys::kSplashScreen, "<missing>");
    }

    SettingsStore store;
    test::ScriptedMessages messages;
};

// The window of the design: 320 x 260 on black, a real picture (not a flat colour) filling
// the top, the version at the top right, the check box and the wait label sharing the strip
// below, and the close button out of sight but pressed by Enter.
TEST_F(FrmSplashTest, Layout) {
    frmMain main;
    frmSplash& splash = main.splashWindow();
    EXPECT_EQ(splash.size(), QSize(320, 260));
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(splash.imgSplash->geometry(), QRect(0, 0, 320, 240));
    const QImage picture = splash.imgSplash->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(320, 240));
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 2)
        for (int x = 0; x < picture.width(); x += 2)
            colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 500);

    EXPECT_EQ(splash.lblVersion->text(), "v2.2.3");
    EXPECT_EQ(splash.lblVersion->geometry().right(), 315);
    EXPECT_EQ(splash.chkSplash->pos(), splash.lblWait->pos());
    EXPECT_TRUE(QRect(0, 240, 320, 20).contains(splash.chkSplash->geometry()));
    EXPECT_TRUE(splash.cmdClose->isDefault());
    EXPECT_GE(splash.cmdClose->y(), 260);
}

// Each stored "SplashScreen" text: shown or hidden at once, and what is stored afterwards.
TEST_F(FrmSplashTest, SplashScreenSetting) {
    struct Case {
        const char* value; // nullptr: missing
        bool shown;
        const char* storedAfter;
    };
    const Case cases[] = {{nullptr, true, "1"}, {"0", false, "0"},      {"2", true, "1"},
                          {"", false, ""},      {"abc", false, "abc"},  {"-1", true, "1"},
                          {"1e3", true, "1"},   {" 0.0", false, " 0.0"}};
    for (const Case& c : cases) {
        const QString name = c.value ? QString::fromLatin1(c.value) : QStringLiteral("missing");
        test::clearSettings();
        if (c.value)
            store.SaveSetting(keys::kSettings, keys::kSplashScreen, c.value);
        frmMain main;
        frmSplash& splash = main.splashWindow();
        bool seen = false;
        bool checked = false;
        showWhile(splash, 0, [&] {
            seen = splash.isVisible();
            checked = splash.chkSplash->isChecked();
            splash.cmdClose_Click();
        });
        EXPECT_EQ(seen, c.shown) << name.toStdString();
        EXPECT_EQ(checked, c.shown) << name.toStdString();
        EXPECT_EQ(stored(), c.storedAfter) << name.toStdString();
        EXPECT_FALSE(splash.isVisible());
    }
}

// At an interactive start Esc, Enter and a click on the picture or the version close the
// splash before its 3 seconds; the check box only toggles and stores its state.
TEST_F(FrmSplashTest, KeysAndClicksCloseTheInteractiveSplash) {
    const std::function<void(frmSplash&)> closers[] = {
        [](frmSplash& s) { QTest::keyClick(&s, Qt::Key_Escape); },
        [](frmSplash& s) { QTest::keyClick(&s, Qt::Key_Return); },
        [](frmSplash& s) { QTest::mouseClick(s.imgSplash, Qt::RightButton, {}, QPoint(50, 50)); },
        [](frmSplash& s) { QTest::mouseClick(s.lblVersion, Qt::LeftButton); },
    };
    int index = 0;
    for (const auto& close : closers) {
        frmMain main;
        frmSplash& splash = main.splashWindow();
        bool closed = false;
        showWhile(splash, 50, [&] {
            QTest::mouseClick(splash.chkSplash, Qt::LeftButton);
            EXPECT_TRUE(splash.isVisible()) << index;
            EXPECT_EQ(stored(), "0") << index;
            QTest::mouseClick(splash.chkSplash, Qt::LeftButton);
            EXPECT_EQ(stored(), "1") << index;
            close(splash);
            closed = !splash.isVisible();
            // Should it stay up, the timer still ends the test.
        });
        EXPECT_TRUE(closed) << index;
        ++index;
    }
}

// "/LOADER" with "/S": the splash has no size, keys and clicks do not close it, the folder is
// collected into the path box, and when the hand-over ends nothing of it is left.
TEST_F(FrmSplashTest, LoaderCollectsInsideAnInvisibleSplash) {
    frmMain main;
    main.setCommandLine("/P:/music/My Songs /O:x /LOADER /S");
    frmSplash& splash = main.splashWindow();
    bool stayed = false;
    bool waitShown = false;
    showWhile(splash, 300, [&] {
        waitShown = splash.lblWait->isVisibleTo(&splash) && !splash.chkSplash->isVisibleTo(&splash);
        QTest::keyClick(&splash, Qt::Key_Escape);
        QTest::keyClick(&splash, Qt::Key_Return);
        splash.Form_MouseUp();
        splash.lblVersion_Click();
        stayed = splash.isShowing() && splash.tmrFolders->isActive();
    });
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(waitShown);
    EXPECT_TRUE(splash.LoaderRole);
    EXPECT_TRUE(splash.FolderPosted);
    EXPECT_FALSE(splash.CloseAllowed);
    EXPECT_EQ(splash.size(), QSize(0, 0));
    EXPECT_EQ(main.cboPath->currentText(), "/music/My Songs");
    EXPECT_EQ(store.GetSetting(keys::kLoader, keys::kIsLoader, "<missing>"), "<missing>");
    EXPECT_EQ(store.GetSetting(keys::kLoader, keys::kFolders, "<missing>"), "<missing>");
    EXPECT_FALSE(QFileInfo::exists(workFolder() + kLoaderMarkerName));
    EXPECT_FALSE(splash.tmrFolders->isActive());
}

} // namespace
} // namespace mixgen

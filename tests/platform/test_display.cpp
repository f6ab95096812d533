#include "platform/display.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

using namespace mixgen;

namespace {

// Each case sets the three variables the choice reads and gives them back afterwards.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames)
            m_saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                              : std::nullopt);
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (m_saved[i])
                qputenv(kNames[i], *m_saved[i]);
            else
                qunsetenv(kNames[i]);
        }
    }
    static void set(const char* display, const char* wayland, const char* platform) {
        for (auto [name, value] :
             {std::pair{"DISPLAY", display}, std::pair{"WAYLAND_DISPLAY", wayland},
              std::pair{"QT_QPA_PLATFORM", platform}}) {
            if (value)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }

private:
    static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<std::optional<QByteArray>> m_saved;
};

} // namespace

// Catches a program that tries to open a window where there is no display.
TEST_F(DisplayTest, NoDisplayChoosesOffscreen) {
    set(nullptr, nullptr, nullptr);
    EXPECT_TRUE(prepareDisplayPlatform());
    EXPECT_TRUE(runsWithoutDisplay());
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "offscreen");

    set("", "", nullptr);
    EXPECT_TRUE(prepareDisplayPlatform()) << "empty variables name no display";
}

// Catches a desktop session being sent to the terminal, or its platform overridden.
TEST_F(DisplayTest, DisplayKeepsWindows) {
    set(":0", nullptr, nullptr);
    EXPECT_FALSE(prepareDisplayPlatform());
    EXPECT_FALSE(runsWithoutDisplay());
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));

    set(nullptr, "wayland-0", nullptr);
    EXPECT_FALSE(prepareDisplayPlatform());

    set(nullptr, nullptr, "xcb");
    EXPECT_FALSE(prepareDisplayPlatform()) << "the user's chosen platform is respected";
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
}

// Catches a chosen headless platform (with or without options) taken as a display.
TEST_F(DisplayTest, ChosenHeadlessPlatformSpeaksThroughTheTerminal) {
    for (const char* platform : {"offscreen", "minimal", "offscreen:fontengine=freetype"}) {
        set(":0", nullptr, platform);
        EXPECT_TRUE(prepareDisplayPlatform()) << platform;
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), platform) << "left as chosen";
    }
}

// The playlist style a request runs with: its switches on the command line, the stored
// choices, and the folder context-menu entries that carry them.
#include "app/commandline.h"
#include "app/contextmenu.h"
#include "app/stylechoices.h"
#include "core/registry.h"

#include "testenv.h"

#include <QDir>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

PlaylistStyle switchesOnly(const QString& commandLine) {
    return requestStyle(commandLine, PlaylistStyle());
}

// Catches a new switch that is seen inside a folder name, that a "/P:" value runs over, or a
// "/T:" value that is not kept within 1 to 6000 minutes.
TEST(StyleChoices, SwitchesFollowTheCommandLineRules) {
    EXPECT_FALSE(switchesOnly("/P:/music/Best /Beatles /O:x").balance);
    EXPECT_EQ(switchValue("/P:/music/Best /Beatles /O:x", "/P:"), "/music/Best /Beatles");
    EXPECT_FALSE(switchesOnly("/P:/Xmas/R&B/T:60 /N:5").any());

    const QString all = "/P:/music/Best of /b /x/R /t:90 /O:mix";
    const PlaylistStyle style = switchesOnly(all);
    EXPECT_TRUE(style.balance && style.extended);
    EXPECT_FALSE(style.relative); // its "/" follows no blank
    EXPECT_EQ(style.minutes, 90);
    EXPECT_EQ(switchValue(all, "/P:"), "/music/Best of");
    EXPECT_EQ(parseCommandLine(all).output, "/music/Best of/mix.M3U");

    EXPECT_EQ(switchesOnly("/T:1").minutes, 1);
    EXPECT_EQ(switchesOnly("/T:0.4").minutes, 0);
    EXPECT_EQ(switchesOnly("/T:6000").minutes, 6000);
    EXPECT_EQ(switchesOnly("/T:6001").minutes, 6000);
    EXPECT_EQ(switchesOnly("/T:-5 /X").minutes, 0);
    EXPECT_EQ(switchesOnly("/T:45min").minutes, 45);
    EXPECT_FALSE(switchesOnly("/P:/a /N:5 /Y").any());
}

// Catches stored choices that a request's switches do not win over, or that are lost on
// their way through the settings store.
TEST(StyleChoices, RequestSwitchesWinOverStoredChoices) {
    PlaylistStyle stored;
    stored.minutes = 60;
    stored.extended = true;
    saveStyle(stored);
    EXPECT_EQ(storedStyle(), stored);
    EXPECT_EQ(requestStyle("", storedStyle()), stored);
    EXPECT_EQ(requestStyle("/P:/a /T:10", storedStyle()).minutes, 10);
    EXPECT_EQ(requestStyle("/P:/a /T:0", storedStyle()).minutes, 0);
    const PlaylistStyle both = requestStyle("/P:/a /B /R", storedStyle());
    EXPECT_TRUE(both.balance && both.relative && both.extended);
    EXPECT_EQ(both.minutes, 60);

    saveStyle(PlaylistStyle());
    EXPECT_FALSE(storedStyle().any());
    EXPECT_TRUE(styleSwitches(storedStyle()).isEmpty());
}

// Catches folder context-menu entries whose command lines do not carry the stored choices,
// or whose number and silent mode no longer read back once they do.
TEST(StyleChoices, ContextMenuEntriesCarryTheStoredChoices) {
    QDir().mkpath(qEnvironmentVariable("TEMP"));
    const QString program = "/opt/mixgen";
    saveStyle(PlaylistStyle());
    ASSERT_TRUE(ApplyEntries({true, false, true}, "25", true, program).isEmpty());
    const auto command = [](int entry) {
        return ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry), QString()).toText();
    };
    EXPECT_TRUE(command(0).endsWith(" /N:25 /S /Y /LOADER")) << command(0).toStdString();

    PlaylistStyle stored;
    stored.minutes = 45;
    stored.balance = true;
    stored.extended = true;
    stored.relative = true;
    saveStyle(stored);
    ASSERT_TRUE(carryStyleInEntries().isEmpty());
    EXPECT_TRUE(command(0).endsWith(" /N:25 /S /Y /LOADER /T:45 /B /X /R"))
        << command(0).toStdString();
    EXPECT_TRUE(command(2).endsWith(" /E /Y /LOADER /T:45 /B /X /R"));
    EXPECT_TRUE(command(1).isEmpty());
    const EntryOptions loaded = LoadEntries();
    EXPECT_EQ(loaded.number, "25");
    EXPECT_TRUE(loaded.silent);

    const QString folder = QDir::tempPath() + "/style-entry-folder";
    QDir().mkpath(folder);
    const EntryRun run = resolveEntryRun({"--entry", "Random Playlist", folder});
    ASSERT_TRUE(run.error.isEmpty()) << run.error.toStdString();
    EXPECT_EQ(requestStyle(run.commandLine, PlaylistStyle()), stored);
    EXPECT_EQ(switchValue(run.commandLine, "/P:"), folder);

    saveStyle(PlaylistStyle());
    ASSERT_TRUE(ApplyEntries({false, false, false}, "25", false, program).isEmpty());
}

} // namespace
} // namespace mixgen

#include "app/commandline.h"

#include <gtest/gtest.h>

using namespace mixgen;

namespace {
std::string s(const QString& text) {
    return text.toStdString();
}
} // namespace

// A "?" anywhere must lead to the help window, whatever else the line holds.
TEST(CommandLine, QuestionMarkAnywhereAsksForHelp) {
    for (const char* line : {"/?", "/? /P:X", "/p:x?", "/P:/music/What? /N:5"}) {
        const CommandLine parsed = parseCommandLine(QString::fromUtf8(line));
        EXPECT_TRUE(parsed.help) << line;
        EXPECT_FALSE(parsed.empty) << line;
    }
    EXPECT_FALSE(parseCommandLine("/P:/music /N:5").help);
}

// Catches an interactive start mistaken for a request (or the other way round).
TEST(CommandLine, NothingOrOnlyBlanksIsTheInteractiveStart) {
    EXPECT_TRUE(parseCommandLine("").empty);
    EXPECT_TRUE(parseCommandLine("   ").empty);
    EXPECT_TRUE(parseCommandLine(joinCommandLine({})).empty);
    EXPECT_FALSE(parseCommandLine("/N:5").empty);
    EXPECT_FALSE(parseCommandLine("x").help);
}

// The complete request: a path with a blank, a full output path and a count; names keep
// their case.
TEST(CommandLine, FullRequestKeepsTheCaseOfNames) {
    const CommandLine parsed = parseCommandLine("/P:/home/me/My Music /O:/tmp/out/party /N:50");
    EXPECT_TRUE(parsed.hasPath);
    EXPECT_EQ(s(parsed.path), "/home/me/My Music");
    EXPECT_EQ(s(parsed.output), "/tmp/out/party.M3U");
    EXPECT_EQ(s(parsed.number), "50");
    EXPECT_FALSE(parsed.loader);
    EXPECT_FALSE(parsed.help);
}

// The output value ends at the first blank, even inside a path.
TEST(CommandLine, OutputValueEndsAtTheFirstBlank) {
    EXPECT_EQ(s(parseCommandLine("/O:/home/me/Documents and Settings/mix.m3u").output),
              "/home/me/Documents.M3U");
    EXPECT_EQ(s(switchValue("/N:2 5", "/N:")), "2");
}

// The whole path list is the prefix of a relative output name, with one "/" between.
TEST(CommandLine, RelativeOutputGoesIntoThePathValue) {
    EXPECT_EQ(s(parseCommandLine("/P:/a;/b /O:LIST").output), "/a;/b/LIST.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/music/ /O:x").output), "/music/x.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:party.M3U").output), "/a/party.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:party.m3").output), "/a/party.m3.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:Party.m3U").output), "/a/Party.m3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:sub/x").output), "/a/sub/x.M3U");
}

// Catches a UTF-8 playlist typed as "x.m3u8" made "x.m3u8.M3U", and other endings that merely
// start like it kept.
TEST(CommandLine, M3u8EndingIsKept) {
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:x.m3u8").output), "/a/x.m3u8");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:/l/X.M3u8").output), "/l/X.M3u8");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:x.m3u8.bak").output), "/a/x.m3u8.bak.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:x.m3u9").output), "/a/x.m3u9.M3U");
}

// An empty or missing output value names MIXGEN.M3U in the searched folder, or in "/"
// without a path.
TEST(CommandLine, MissingOutputBecomesMixgen) {
    EXPECT_EQ(s(parseCommandLine("/P:/a /O: /N:3").output), "/a/MIXGEN.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /O:").output), "/a/MIXGEN.M3U");
    EXPECT_EQ(s(parseCommandLine("/P:/a /N:3").output), "/a/MIXGEN.M3U");
    EXPECT_EQ(s(parseCommandLine("/N:3").output), "/MIXGEN.M3U");
    EXPECT_EQ(s(parseCommandLine("/O:party /N:3").output), "/party.M3U");
    EXPECT_EQ(s(parseCommandLine("/O:/srv/a.m3u").output), "/srv/a.m3u");
}

// Without "/P:" the path stays unset; "/P:" followed by the next switch gives an empty path.
TEST(CommandLine, PathPresenceAndEmptyPath) {
    const CommandLine none = parseCommandLine("/O:x /N:5");
    EXPECT_FALSE(none.hasPath);
    EXPECT_TRUE(none.path.isEmpty());

    const CommandLine empty = parseCommandLine("/P: /N:5");
    EXPECT_TRUE(empty.hasPath);
    EXPECT_EQ(s(empty.path), "");
    EXPECT_EQ(s(empty.number), "5");
    EXPECT_EQ(s(empty.output), "/MIXGEN.M3U");
}

// "/P:" runs up to the next real switch: blanks and " /folder" parts stay in the path.
TEST(CommandLine, PathRunsUpToTheNextSwitch) {
    EXPECT_EQ(s(parseCommandLine("/P:/My /Music /O:x").path), "/My /Music");
    EXPECT_EQ(s(parseCommandLine("/P:/a /Songs/b /Yes /N:4").path), "/a /Songs/b /Yes");
    EXPECT_EQ(s(parseCommandLine("/P:/a /S /O:x").path), "/a");
    EXPECT_EQ(s(parseCommandLine("/P:/a/b c/d").path), "/a/b c/d");
    EXPECT_EQ(s(parseCommandLine("/N:5 /P:/a /LOADER").path), "/a");
    EXPECT_EQ(s(parseCommandLine("/P:/a /y/s").path), "/a");
}

// A "/o:" or "/N:" glued inside a folder name is part of the name, not a switch.
TEST(CommandLine, SwitchTextInsideANameIsNoSwitch) {
    const CommandLine glued = parseCommandLine("/P:/music/A/O:X");
    EXPECT_EQ(s(glued.path), "/music/A/O:X");
    EXPECT_EQ(s(glued.output), "/music/A/O:X/MIXGEN.M3U");

    const CommandLine inFolder = parseCommandLine("/P:/data/o:dd/n:7 /N:3");
    EXPECT_EQ(s(inFolder.path), "/data/o:dd/n:7");
    EXPECT_EQ(s(inFolder.number), "3");
    EXPECT_EQ(s(inFolder.output), "/data/o:dd/n:7/MIXGEN.M3U");

    EXPECT_EQ(s(parseCommandLine("/P:/x/N:5").number), "1000");
}

// Not above 0, not a number or missing: 1000; otherwise the leading number written back.
TEST(CommandLine, NumberOfSongsByItsLeadingNumber) {
    const QList<std::pair<const char*, const char*>> cases = {
        {"/N:0", "1000"},   {"/N:-5", "1000"}, {"/N:abc", "1000"}, {"/P:/a", "1000"},
        {"/N:", "1000"},    {"/N: 5", "1000"}, {"/N:25/A", "25"},  {"/N:0050", "50"},
        {"/N:12abc", "12"}, {"/N:2.5", "2.5"}, {"/N:1e9", "1"},    {"/n:7 /N:9", "7"},
    };
    for (const auto& [line, number] : cases)
        EXPECT_EQ(s(parseCommandLine(QString::fromLatin1(line)).number), number) << line;
}

// Switches work in any letter case; the values keep the case they were typed in.
TEST(CommandLine, SwitchesInAnyLetterCase) {
    const CommandLine parsed = parseCommandLine("/p:/Music/Rock /o:Mix /n:7 /LoAdEr");
    EXPECT_EQ(s(parsed.path), "/Music/Rock");
    EXPECT_EQ(s(parsed.number), "7");
    EXPECT_TRUE(parsed.loader);
    // On the loader path the collected folders are no single output folder.
    EXPECT_EQ(s(parsed.output), "/Mix.M3U");

    EXPECT_EQ(s(switchValue("/p:/Music /O:x", "/P:")), "/Music");
    EXPECT_EQ(s(switchValue("/P:/Music /O:Out", "/o:")), "Out");
    EXPECT_EQ(s(switchValue("/P:/Music", "/O:")), "");
}

// Upper-casing must not move positions: non-ASCII names are cut at the right places.
TEST(CommandLine, NonAsciiNamesAreCutWhole) {
    const CommandLine parsed = parseCommandLine(QStringLiteral("/P:/Musik/Straße ß /O:Grüße /N:3"));
    EXPECT_EQ(parsed.path, QStringLiteral("/Musik/Straße ß"));
    EXPECT_EQ(parsed.output, QStringLiteral("/Musik/Straße ß/Grüße.M3U"));
    EXPECT_EQ(s(parsed.number), "3");
}

// The line a folder context-menu entry starts the program with.
TEST(CommandLine, ContextMenuEntryLine) {
    const QString line = joinCommandLine({"/P:/home/me/My Music", "/O:/run/user/1000/MIXGEN.M3U",
                                          "/N:250", "/S", "/A", "/Y", "/LOADER"});
    EXPECT_EQ(s(line), "/P:/home/me/My Music /O:/run/user/1000/MIXGEN.M3U /N:250 /S /A /Y /LOADER");
    const CommandLine parsed = parseCommandLine(line);
    EXPECT_EQ(s(parsed.path), "/home/me/My Music");
    EXPECT_EQ(s(parsed.output), "/run/user/1000/MIXGEN.M3U");
    EXPECT_EQ(s(parsed.number), "250");
    EXPECT_TRUE(parsed.loader);
    for (const char* flag : {"/S", "/A", "/Y", "/LOADER", "/s", "/a", "/y"})
        EXPECT_TRUE(hasSwitch(line, flag)) << flag;
    EXPECT_FALSE(hasSwitch(line, "/E"));
}

// A flag counts only after a blank (or at the start) and before a blank, "/" or the end.
TEST(CommandLine, FlagSwitchBoundaries) {
    EXPECT_TRUE(hasSwitch("/Y", "/Y"));
    EXPECT_TRUE(hasSwitch("/P:/a /y", "/Y"));
    EXPECT_TRUE(hasSwitch("/Y/S", "/Y"));
    EXPECT_FALSE(hasSwitch("/Y/S", "/S")); // glued behind another switch
    EXPECT_FALSE(hasSwitch("/P:/music/Songs", "/S"));
    EXPECT_FALSE(hasSwitch("/P:/a /Songs", "/S"));
    EXPECT_FALSE(hasSwitch("/P:/a /Yes", "/Y"));
    EXPECT_FALSE(hasSwitch("/LOADERX", "/LOADER"));
    EXPECT_FALSE(hasSwitch("/P:/a/e /N:2", "/E"));
    EXPECT_TRUE(hasSwitch("/P:/a/e /N:2 /e", "/E"));
    EXPECT_TRUE(hasSwitch("/P:/songs /E /A", "/a"));
    EXPECT_FALSE(hasSwitch("", "/Y"));
    EXPECT_FALSE(hasSwitch("/Y", ""));
    EXPECT_FALSE(parseCommandLine("/P:/a/loader").loader);
}

// Arguments are joined with one blank each, nothing trimmed or quoted.
TEST(CommandLine, JoiningArguments) {
    EXPECT_EQ(s(joinCommandLine({"/P:/home/me/My Music", "/N:5"})), "/P:/home/me/My Music /N:5");
    EXPECT_EQ(s(joinCommandLine({"a"})), "a");
    EXPECT_EQ(s(joinCommandLine({"\"q\"", "", "b"})), "\"q\"  b");
}

#include "batchline.h"

#include <gtest/gtest.h>

using namespace mixgen::cmd;
using Kind = BatchCommand::Kind;

// Catches the search's own lines being misread: folder, pattern (with its blank), ">" and
// ">>", and a target that holds blanks.
TEST(BatchLine, ReadsTheSearchLines) {
    BatchCommand first = parseBatchLine("dir \"/home/me/Music/*.MP?\" /s /b>/tmp/work/mixgen.lst");
    ASSERT_EQ(first.kind, Kind::Dir);
    EXPECT_EQ(first.dir.folder, "/home/me/Music/");
    EXPECT_EQ(first.dir.pattern, "*.MP?");
    EXPECT_FALSE(first.dir.toStandardOutput);
    EXPECT_FALSE(first.dir.append);
    EXPECT_EQ(first.dir.target, "/tmp/work/mixgen.lst");

    BatchCommand later = parseBatchLine("dir \"/m m/*.ITZ \" /s /b>>/tmp/my work/mixgen.lst");
    ASSERT_EQ(later.kind, Kind::Dir);
    EXPECT_EQ(later.dir.folder, "/m m/");
    EXPECT_EQ(later.dir.pattern, "*.ITZ ");
    EXPECT_TRUE(later.dir.append);
    EXPECT_EQ(later.dir.target, "/tmp/my work/mixgen.lst");
}

// Catches a parser that insists on the exact spelling: switches in any order and case, blanks
// around the redirection, no redirection (standard output), an unquoted folder.
TEST(BatchLine, AcceptsDirVariants) {
    BatchCommand spaced = parseBatchLine("  DIR  \"/a/*.wav\"  /B /S  >>  /t/l.lst");
    ASSERT_EQ(spaced.kind, Kind::Dir);
    EXPECT_TRUE(spaced.dir.append);
    EXPECT_EQ(spaced.dir.target, "/t/l.lst");

    BatchCommand plain = parseBatchLine("dir \"/a/*.wav\" /s /b");
    ASSERT_EQ(plain.kind, Kind::Dir);
    EXPECT_TRUE(plain.dir.toStandardOutput);

    BatchCommand unquoted = parseBatchLine("dir /a/b/*.mp3 /s /b>x");
    ASSERT_EQ(unquoted.kind, Kind::Dir);
    EXPECT_EQ(unquoted.dir.folder, "/a/b/");
    EXPECT_EQ(unquoted.dir.pattern, "*.mp3");
    EXPECT_EQ(unquoted.dir.target, "x");

    BatchCommand here = parseBatchLine("dir \"*.mp3\" /s /b>x");
    ASSERT_EQ(here.kind, Kind::Dir);
    EXPECT_EQ(here.dir.folder, "");
}

// Catches a folder that holds a double quote, ">" or switch-like text being cut short.
TEST(BatchLine, ReadsFoldersHoldingQuotes) {
    BatchCommand quoted = parseBatchLine("dir \"/m/say \"hi\" > /s/*.MP?\" /s /b>/t/l.lst");
    ASSERT_EQ(quoted.kind, Kind::Dir);
    EXPECT_EQ(quoted.dir.folder, "/m/say \"hi\" > /s/");
    EXPECT_EQ(quoted.dir.pattern, "*.MP?");
    EXPECT_EQ(quoted.dir.target, "/t/l.lst");
}

// Catches dir lines the walk cannot honour being run anyway (other switches, no "/s" or "/b",
// nothing to redirect to).
TEST(BatchLine, RefusesOtherDirForms) {
    EXPECT_EQ(parseBatchLine("dir \"/a/*.mp3\" /b>x").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("dir \"/a/*.mp3\" /s>x").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("dir \"/a/*.mp3\" /s /b /w>x").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("dir \"/a/*.mp3\" /s /b>").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("dir \"/a/*.mp3 /s /b>x").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("dir").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("directory \"/a/*\" /s /b").kind, Kind::Unknown);
}

// Catches echo text losing its leading blanks, "echo." not giving an empty line, and the echo
// switch being printed.
TEST(BatchLine, ReadsEchoAndCls) {
    BatchCommand box = parseBatchLine("echo   \xDA\xC4\xBF");
    ASSERT_EQ(box.kind, Kind::Echo);
    EXPECT_EQ(box.text, "  \xDA\xC4\xBF");
    BatchCommand dot = parseBatchLine("echo.");
    ASSERT_EQ(dot.kind, Kind::Echo);
    EXPECT_EQ(dot.text, "");
    EXPECT_EQ(parseBatchLine("@echo off").kind, Kind::EchoOff);
    EXPECT_EQ(parseBatchLine("ECHO ON").kind, Kind::EchoOn);
    EXPECT_EQ(parseBatchLine("echo").kind, Kind::EchoState);
    BatchCommand quoted = parseBatchLine("echo Note: check \"Close on exit\" > here");
    ASSERT_EQ(quoted.kind, Kind::Echo);
    EXPECT_EQ(quoted.text, "Note: check \"Close on exit\" > here");
    EXPECT_EQ(parseBatchLine("cls").kind, Kind::Cls);
    EXPECT_EQ(parseBatchLine("CLS  ").kind, Kind::Cls);
    EXPECT_EQ(parseBatchLine("cls x").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("echoes").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("   ").kind, Kind::Empty);
    EXPECT_EQ(parseBatchLine("del /q *").kind, Kind::Unknown);
    EXPECT_EQ(parseBatchLine("start notepad").kind, Kind::Unknown);
}

// Catches CR LF ends leaking a CR into the last argument, and a missing last line.
TEST(BatchLine, SplitsCrLfAndLfLines) {
    const auto lines = splitBatchLines("a\r\nb\nc\r\n\r\nd");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2], "c");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "d");
    EXPECT_EQ(parseBatchLine(splitBatchLines("dir \"/a/*.mp3\" /s /b>x\r\n")[0]).dir.target, "x");
}

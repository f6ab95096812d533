#include "generate/songsearch.h"

#include <gtest/gtest.h>

using namespace mixgen;

namespace {

QString manyPaths(int count, const QString& between = QStringLiteral(";")) {
    QStringList paths;
    for (int i = 1; i <= count; ++i)
        paths.append(QStringLiteral("/music/%1").arg(i));
    return paths.join(between);
}

} // namespace

// Catches a lost or doubled trailing "/" and a trailing ";" read as one more path.
TEST(PathSplit, EachPathEndsInOneSlash) {
    EXPECT_EQ(splitPathList("/music").paths, QStringList{"/music/"});
    EXPECT_EQ(splitPathList("/music/;/songs;").paths, (QStringList{"/music/", "/songs/"}));
    EXPECT_EQ(splitPathList("/a b/c;/d").paths, (QStringList{"/a b/c/", "/d/"}));
    EXPECT_FALSE(splitPathList("/music/;/songs;").overLimit);
}

// Catches empty segments and a lone "/" taken as search paths, and blank segments dropped.
TEST(PathSplit, EmptySegmentsAndLoneSlashAreDroppedButBlanksKept) {
    EXPECT_EQ(splitPathList("/music;;/songs").paths, (QStringList{"/music/", "/songs/"}));
    EXPECT_EQ(splitPathList(";/music;/;").paths, QStringList{"/music/"});
    EXPECT_EQ(splitPathList("  ").paths, QStringList{"  /"});
    for (const QString& nothing :
         {QString(), QStringLiteral(";"), QStringLiteral("/"), QStringLiteral(";;/;")}) {
        const SplitPaths split = splitPathList(nothing);
        EXPECT_TRUE(split.paths.isEmpty()) << nothing.toStdString();
        EXPECT_FALSE(split.overLimit) << nothing.toStdString();
    }
}

// Catches a wrong limit, a notice for exactly 5000 paths, and dropped segments counted.
TEST(PathSplit, AtMost5000PathsAndTheNoticeWhenAnotherSegmentFollows) {
    const SplitPaths exactly = splitPathList(manyPaths(5000));
    EXPECT_EQ(exactly.paths.size(), 5000);
    EXPECT_FALSE(exactly.overLimit);
    EXPECT_FALSE(splitPathList(manyPaths(5000) + ";").overLimit);

    const SplitPaths more = splitPathList(manyPaths(5001));
    EXPECT_EQ(more.paths.size(), 5000);
    EXPECT_EQ(more.paths.last(), "/music/5000/");
    EXPECT_TRUE(more.overLimit);

    // Two separators after the 5000th path make one empty segment: the notice comes anyway.
    const SplitPaths trailing = splitPathList(manyPaths(5000) + ";;");
    EXPECT_EQ(trailing.paths.size(), 5000);
    EXPECT_TRUE(trailing.overLimit);

    // Empty segments between paths are dropped and do not count towards the limit.
    const SplitPaths gaps = splitPathList(manyPaths(5000, ";;"));
    EXPECT_EQ(gaps.paths.size(), 5000);
    EXPECT_FALSE(gaps.overLimit);
}

// Catches a split that stops early or slows to a crawl on a huge path list.
TEST(PathSplit, HundredThousandSegments) {
    const SplitPaths split = splitPathList(manyPaths(100000));
    EXPECT_EQ(split.paths.size(), 5000);
    EXPECT_TRUE(split.overLimit);
    EXPECT_EQ(split.paths.first(), "/music/1/");

    const SplitPaths empties = splitPathList(QString(100000, QLatin1Char(';')) + "/last");
    EXPECT_EQ(empties.paths, QStringList{"/last/"});
    EXPECT_FALSE(empties.overLimit);
}

// Catches runs of "/" kept in a search folder (every listed path would carry them, thousands
// long) and a segment with a line break counted or kept as a search path.
TEST(PathSplit, SlashRunsAndLineBreaks) {
    const SplitPaths split =
        splitPathList(QStringLiteral("//music///rock;") + QString(3686, u'/') + ";a\nb;c\rd;/x");
    EXPECT_EQ(split.paths, (QStringList{"/music/rock/", "/x/"}));
    EXPECT_EQ(split.unsearchable, (QStringList{"a\nb", "c\rd"}));
}

#include "generate/playlistwriter.h"

#include "platform/appinfo.h"
#include "scriptedmessages.h"
#include "testenv.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mixgen;
using mixgen::test::ScriptedMessages;

namespace {

const QString kQuestion = QStringLiteral("Playlist file already exists! Overwrite file?");

class Overwrite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

// Catches a question asked when there is nothing to lose, or asked although "/y" was given.
TEST_F(Overwrite, NoQuestionWithoutAFileOrWithTheYesSwitch) {
    ScriptedMessages messages;
    EXPECT_EQ(askOverwrite(path("new.m3u"), false, false), OverwriteOutcome::GoOn);
    ASSERT_TRUE(QDir().mkpath(path("folder.m3u")));
    EXPECT_EQ(askOverwrite(path("folder.m3u"), false, true), OverwriteOutcome::GoOn);
    test::writeFile(path("old.m3u"), "x\r\n");
    EXPECT_EQ(askOverwrite(path("old.m3u"), true, false), OverwriteOutcome::GoOn);
    // A file where a folder should be: nothing can exist below it, and that is no bad name.
    EXPECT_EQ(askOverwrite(path("old.m3u") + "/x.m3u", false, false), OverwriteOutcome::GoOn);
    EXPECT_TRUE(messages.shown().isEmpty());
}

// Catches a changed question, wrong buttons or icon, and answers mapped to the wrong outcome
// (Cancel ends the program only for a command-line run).
TEST_F(Overwrite, TheThreeAnswers) {
    test::writeFile(path("old.m3u"), "x\r\n");
    struct Case {
        MsgAnswer answer;
        bool commandLineRun;
        OverwriteOutcome outcome;
    };
    for (const Case& c : {Case{MsgAnswer::Yes, false, OverwriteOutcome::GoOn},
                          Case{MsgAnswer::Yes, true, OverwriteOutcome::GoOn},
                          Case{MsgAnswer::No, false, OverwriteOutcome::BackToMain},
                          Case{MsgAnswer::No, true, OverwriteOutcome::BackToMain},
                          Case{MsgAnswer::Cancel, false, OverwriteOutcome::BackToMain},
                          Case{MsgAnswer::Cancel, true, OverwriteOutcome::EndProgram}}) {
        ScriptedMessages messages;
        messages.expect(kQuestion, c.answer);
        EXPECT_EQ(askOverwrite(path("old.m3u"), false, c.commandLineRun), c.outcome);
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown().first().text, kQuestion);
        EXPECT_EQ(messages.shown().first().buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(messages.shown().first().icon, MsgIcon::Information);
        EXPECT_EQ(messages.shown().first().caption, QLatin1String(kAppTitle));
    }
    EXPECT_EQ(test::readFile(path("old.m3u")), "x\r\n");
}

// Catches wildcards taken literally, a pattern that fits folders, "?" fitting more or less
// than one character, and names compared without regard to case.
TEST_F(Overwrite, WildcardsFitAnyRegularFileOfTheFolder) {
    test::writeFile(path("a.m3u"), "");
    ASSERT_TRUE(QDir().mkpath(path("list.m3u8")));
    EXPECT_TRUE(normalFileExists(path("*.m3u")));
    EXPECT_TRUE(normalFileExists(path("?.m3u")));
    EXPECT_TRUE(normalFileExists(path("*a*")));
    EXPECT_FALSE(normalFileExists(path("??.m3u")));
    EXPECT_FALSE(normalFileExists(path("*.M3U")));
    EXPECT_FALSE(normalFileExists(path("*.m3u8")));
    EXPECT_FALSE(normalFileExists(path("missing/*.m3u")));

    ScriptedMessages messages;
    messages.expect(kQuestion, MsgAnswer::No);
    EXPECT_EQ(askOverwrite(path("*.m3u"), false, false), OverwriteOutcome::BackToMain);
}

// Catches a name that cannot be tested treated as "no file" (or crashing) instead of
// "Bad file name.".
TEST_F(Overwrite, UntestableNameIsABadName) {
    for (const QString& bad : {path(QString(300, QLatin1Char('n')) + ".m3u"),
                               path(QString(300, QLatin1Char('n'))) + "/*.m3u",
                               path("a") + QChar(0) + "b.m3u", QString()}) {
        ScriptedMessages messages;
        messages.expect("Bad file name.");
        EXPECT_EQ(askOverwrite(bad, true, true), OverwriteOutcome::BadName);
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown().first().text, "Bad file name.");
        EXPECT_EQ(messages.shown().first().icon, MsgIcon::Exclamation);
    }
}

#include "app/helptext.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using namespace mixgen;

// The switch lines of the help window: exact texts, every description in column 28.
TEST(HelpText, SwitchLinesLineUpInColumn28) {
    const QString text = commandLineHelpText();
    EXPECT_FALSE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    // The design's thirteen lines, then an empty line and the playlist style's four switches.
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines[0], QStringLiteral("Command line parameters:"));
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[11].isEmpty());
    EXPECT_FALSE(lines[12].trimmed().isEmpty());

    const QList<std::pair<QString, QString>> expected = {
        {"/P:[path]", "Path to search for mp3's"},
        {"/O:{path}[filename]", "Output file (.M3U)"},
        {"/N:[n]", "Number of songs"},
        {"/A", "Automatically Open Playlist"},
        {"/E", "Automatically Enqueue playlist"},
        {"/Y", "Yes to all questions"},
        {"/S", "Silent mode (only messages)"},
        {"/LOADER", "Loader (multiple folders handler)"},
        {"/?", "Display this information"},
    };
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString& line = lines[2 + i];
        const auto& [name, description] = expected[i];
        EXPECT_TRUE(line.startsWith(name + u' ')) << line.toStdString();
        EXPECT_EQ(line.indexOf(description), 27) << line.toStdString();
        EXPECT_EQ(line.mid(name.size(), 27 - name.size()).trimmed(), QString());
        EXPECT_TRUE(line.endsWith(description)) << line.toStdString();
    }
    EXPECT_EQ(lines[9], QStringLiteral("/LOADER") + QString(20, u' ') +
                            QStringLiteral("Loader (multiple folders handler)"));
    EXPECT_EQ(lines[3], QStringLiteral("/O:{path}[filename]") + QString(8, u' ') +
                            QStringLiteral("Output file (.M3U)"));
    EXPECT_TRUE(lines[13].isEmpty());
    const QStringList style = {"/T:[minutes]", "/B", "/X", "/R"};
    for (qsizetype i = 0; i < style.size(); ++i) {
        EXPECT_TRUE(lines[14 + i].startsWith(style[i] + u' ')) << lines[14 + i].toStdString();
        EXPECT_NE(lines[14 + i].at(27), u' ') << lines[14 + i].toStdString();
        EXPECT_EQ(lines[14 + i].mid(style[i].size(), 27 - style[i].size()).trimmed(), QString());
    }
}

// Catches a --help that leaves out a playlist style switch.
TEST(HelpText, UsageListsThePlaylistStyleSwitches) {
    for (const char* line : {"  /T:minutes ", "  /B ", "  /X ", "  /R "})
        EXPECT_TRUE(usageText().contains(QLatin1String(line))) << line;
}

// "--help" and "--version" count only as arguments of their own; the first one wins.
TEST(HelpText, TerminalOptions) {
    EXPECT_EQ(terminalInfoText({"--version"}).toStdString(), "MP3 Tunepicker v2.2.3");
    EXPECT_EQ(versionLine().toStdString(), "MP3 Tunepicker v2.2.3");
    EXPECT_EQ(terminalInfoText({"/P:/a", "--help"}), usageText());
    EXPECT_EQ(terminalInfoText({"--version", "--help"}), versionLine());
    EXPECT_TRUE(terminalInfoText({}).isEmpty());
    EXPECT_TRUE(terminalInfoText({"/P:--help"}).isEmpty());
    EXPECT_TRUE(terminalInfoText({"--helpme", "-version"}).isEmpty());
}

// Catches "-h", a mistyped option or a start without display and request being taken for a
// request (and answered "Set path to search for mp3's first!"), or a request being refused.
TEST(HelpText, AnswersBeforeTheWindows) {
    EXPECT_EQ(answerBeforeWindows({"-h"}, false).text, usageText());
    const TerminalAnswer bogus = answerBeforeWindows({"--bogus", "/P:/a"}, false);
    EXPECT_EQ(bogus.status, 2);
    EXPECT_TRUE(bogus.onError);
    EXPECT_TRUE(bogus.text.contains("'--bogus'") && bogus.text.contains("--help"));
    EXPECT_FALSE(bogus.text.contains(u'\n'));
    EXPECT_EQ(answerBeforeWindows({"-x"}, true).status, 2);

    const TerminalAnswer bare = answerBeforeWindows({}, true);
    EXPECT_EQ(bare.status, 2);
    EXPECT_TRUE(bare.onError);
    EXPECT_TRUE(bare.text.contains("display") && bare.text.contains("/P:"));
    EXPECT_EQ(answerBeforeWindows({" "}, true).status, 2);

    // With a display a bare start opens the windows; requests, the switches' help and an
    // entry's run go on as before.
    EXPECT_TRUE(answerBeforeWindows({}, false).text.isEmpty());
    for (const QStringList& goesOn :
         {QStringList{"/P:/music/Rock", "-", "Live", "-x"}, QStringList{"/P:/a -b /N:5"},
          QStringList{"-?"}, QStringList{"--entry", "X", "/a"}})
        EXPECT_TRUE(answerBeforeWindows(goesOn, true).text.isEmpty())
            << goesOn.join(' ').toStdString();
}

// The usage names every switch and both terminal options, one text line each.
TEST(HelpText, UsageNamesEverySwitch) {
    const QString usage = usageText();
    EXPECT_FALSE(usage.contains(u'\r'));
    for (const char* name :
         {"/P:", "/O:", "/N:", "/A ", "/E ", "/Y ", "/S ", "/LOADER", "/?", "--help", "--version"})
        EXPECT_TRUE(usage.contains(QLatin1String(name))) << name;
    for (const QString& line : usage.split(u'\n'))
        EXPECT_LE(line.size(), 100) << line.toStdString();
}

// Terminal output gets plain line ends and exactly one final line end.
TEST(HelpText, PrintingUsesTerminalLineEnds) {
    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ASSERT_GE(saved, 0);
    ASSERT_GE(::dup2(capture.handle(), STDOUT_FILENO), 0);
    printOnTerminal(QStringLiteral("a\r\nb"));
    printOnTerminal(QStringLiteral("c\n"));
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);

    QFile read(capture.fileName());
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    EXPECT_EQ(read.readAll().toStdString(), "a\nb\nc\n");
}

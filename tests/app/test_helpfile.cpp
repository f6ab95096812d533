#include "testenv.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

using mixgen::test::readFile;

namespace {
QByteArray sourceHelpFile() {
    return readFile(QStringLiteral(MIXGEN_HELP_SOURCE));
}
} // namespace

// The main window opens MIXGEN.TXT beside the program: the build must put it there, current.
TEST(HelpFile, LiesBesideTheProgram) {
    const QByteArray source = sourceHelpFile();
    ASSERT_FALSE(source.isEmpty());
    EXPECT_EQ(readFile(QStringLiteral(MIXGEN_BIN_DIR "/MIXGEN.TXT")), source);
}

// Every line of the help file ends with CR LF, like every text file the program writes.
TEST(HelpFile, CrLfLineEnds) {
    const QByteArray text = sourceHelpFile();
    ASSERT_TRUE(text.endsWith("\r\n"));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\n') {
            ASSERT_TRUE(i > 0 && text.at(i - 1) == '\r') << "bare LF at byte " << i;
        }
        if (text.at(i) == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text.at(i + 1) == '\n') << "bare CR at byte " << i;
        }
    }
}

// The help explains every switch and names every place the program keeps files.
TEST(HelpFile, ExplainsSwitchesAndFiles) {
    const QByteArray text = sourceHelpFile();
    for (const char* needle :
         {"/P:", "/O:", "/N:", "/A ", "/E ", "/Y ", "/S ", "/LOADER", "/?", "--help", "--version",
          "$XDG_CONFIG_HOME/MIXGEN/MIXGEN.ini", "$XDG_DATA_HOME/MIXGEN/", "$TEMP",
          "$XDG_RUNTIME_DIR", "/tmp/mixgen-<uid>/", "MIXGEN.TAG", "v2.2.3"})
        EXPECT_TRUE(text.contains(needle)) << needle;
}

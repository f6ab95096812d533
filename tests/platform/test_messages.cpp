#include "platform/appinfo.h"
#include "platform/messages.h"

#include "scriptedmessages.h"

#include <QIODevice>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace mixgen;

namespace {

// A terminal seam speaking to strings instead of the real terminal.
struct Terminal {
    explicit Terminal(const QString& typed, bool interactive)
        : input(typed), in(&input, QIODevice::ReadOnly), out(&output, QIODevice::WriteOnly),
          messages(&out, &in, interactive) {}
    QString input;
    QString output;
    QTextStream in;
    QTextStream out;
    TerminalMessages messages;
};

} // namespace

// Catches boxes that bypass an installed seam, lose the caption, or drop the seam's answer.
TEST(Messages, MsgBoxGoesThroughTheInstalledSeam) {
    {
        test::ScriptedMessages scripted;
        scripted.expect("Overwrite?", MsgAnswer::Yes);
        EXPECT_EQ(MsgBox("Overwrite?", MsgButtons::YesNo, MsgIcon::Exclamation), MsgAnswer::Yes);
        ASSERT_EQ(scripted.shown().size(), 1);
        EXPECT_EQ(scripted.shown()[0].caption, "MP3 Tunepicker");
        EXPECT_EQ(scripted.shown()[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(scripted.shown()[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(&messageSeam(), &scripted);
    }
    // Once the seam is gone, messages go back to the terminal.
    EXPECT_NE(dynamic_cast<TerminalMessages*>(&messageSeam()), nullptr);
}

// Catches a terminal line that lacks the caption or the icon, or keeps the CR of CR LF.
TEST(Messages, TerminalPrintsCaptionIconAndText) {
    Terminal terminal("", false);
    EXPECT_EQ(terminal.messages.show(kAppTitle, "No files were found. Playlist is empty.",
                                     MsgIcon::Information, MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(terminal.output,
              "MP3 Tunepicker [information]: No files were found. Playlist is empty.\n");

    terminal.output.clear();
    terminal.messages.show(kAppTitle, "Cannot Enqueue playlist.\r\n\r\nPlease set it.",
                           MsgIcon::Critical, MsgButtons::Ok);
    EXPECT_EQ(terminal.output,
              "MP3 Tunepicker [critical]: Cannot Enqueue playlist.\n\nPlease set it.\n");

    QStringList words;
    for (MsgIcon icon :
         {MsgIcon::None, MsgIcon::Information, MsgIcon::Exclamation, MsgIcon::Critical})
        words << iconWord(icon);
    words.removeDuplicates();
    EXPECT_EQ(words.size(), 4) << "each icon needs its own word";
}

// Catches a question without a terminal answered with a choice that changes something.
TEST(Messages, WithoutTerminalQuestionsTakeTheHarmlessAnswer) {
    Terminal terminal("yes\nyes\n", false);
    EXPECT_EQ(
        terminal.messages.show(kAppTitle, "Overwrite?", MsgIcon::Exclamation, MsgButtons::YesNo),
        MsgAnswer::No);
    EXPECT_TRUE(terminal.output.contains("Answered No")) << terminal.output.toStdString();
    EXPECT_EQ(
        terminal.messages.show(kAppTitle, "Go on?", MsgIcon::Exclamation, MsgButtons::YesNoCancel),
        MsgAnswer::Cancel);
    EXPECT_TRUE(terminal.output.contains("Answered Cancel"));
    EXPECT_FALSE(terminal.output.contains("Yes/No")) << "nobody must be asked";
}

// Catches typed answers misread, unknown words accepted, or Cancel taken where not offered.
TEST(Messages, OnATerminalQuestionsAreAsked) {
    Terminal terminal("maybe\n Y \nc\nno\nCANCEL\n", true);
    EXPECT_EQ(terminal.messages.show(kAppTitle, "Q1", MsgIcon::None, MsgButtons::YesNo),
              MsgAnswer::Yes);
    EXPECT_EQ(terminal.output.count("Yes/No? "), 2) << "asked again after an unknown word";
    EXPECT_EQ(terminal.messages.show(kAppTitle, "Q2", MsgIcon::None, MsgButtons::YesNo),
              MsgAnswer::No)
        << "\"c\" is no answer to a Yes/No question";
    // A plain box asks nothing and leaves the typed answer for the next question.
    EXPECT_EQ(terminal.messages.show(kAppTitle, "Note", MsgIcon::None, MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(terminal.messages.show(kAppTitle, "Q3", MsgIcon::None, MsgButtons::YesNoCancel),
              MsgAnswer::Cancel);
    EXPECT_TRUE(terminal.output.contains("Yes/No/Cancel? "));
}

// Catches an end of input that loops forever or answers with a choice that changes something.
TEST(Messages, EndOfInputTakesTheHarmlessAnswer) {
    Terminal terminal("", true);
    EXPECT_EQ(terminal.messages.show(kAppTitle, "Q", MsgIcon::None, MsgButtons::YesNoCancel),
              MsgAnswer::Cancel);
    EXPECT_TRUE(terminal.output.contains("Answered Cancel"));
    EXPECT_EQ(answerThatChangesNothing(MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(answerThatChangesNothing(MsgButtons::Ok), MsgAnswer::Ok);
}

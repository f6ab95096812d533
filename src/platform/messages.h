#pragma once

#include <QString>

#include <memory>

class QTextStream;

// Every message box of the program goes through this seam, so that logic and windows can be
// driven by scripted answers in tests and by the terminal when there is no display.
namespace mixgen {

enum class MsgIcon { None, Information, Exclamation, Critical };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };

class MessageSeam {
public:
    virtual ~MessageSeam() = default;
    // Shows one message box and returns the button pressed. The caption is the application
    // title for every box the program shows.
    virtual MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The seam in use. Until one is installed, messages go to the terminal.
MessageSeam& messageSeam();
// Installs a seam (not owned); nullptr goes back to the terminal one.
void setMessageSeam(MessageSeam* seam);

// The call the program makes: a box with the application title as caption.
MsgAnswer MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None);

// The word for an icon as printed on the terminal ("information", "exclamation", ...).
QString iconWord(MsgIcon icon);

// The answer that leaves everything as it is: Cancel when offered, else No, else OK.
MsgAnswer answerThatChangesNothing(MsgButtons buttons);

// One progress line on standard error, rewritten in place, when standard error is a terminal
// (elsewhere nothing is printed: a log would fill with rewritten lines). A message printed
// by the terminal seam first clears it.
void showTerminalProgress(const QString& line);
// Clears the progress line, if one is shown.
void endTerminalProgress();

// The seam for running without a display: every box is printed to standard error (caption,
// icon word, text). A question is asked on the terminal when standard input is one;
// otherwise it is answered with the choice that changes nothing (No, or Cancel when offered).
// Every box is one line "caption [icon word]: text" (its CR LF line breaks printed as plain
// ones); an answer taken without asking is printed too.
class TerminalMessages final : public MessageSeam {
public:
    // Standard error and standard input; asks only when standard input is a terminal.
    TerminalMessages();
    // The given streams (not owned); interactive says whether questions are read from in.
    TerminalMessages(QTextStream* out, QTextStream* in, bool interactive);
    ~TerminalMessages() override;

    MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon,
                   MsgButtons buttons) override;

private:
    MsgAnswer ask(MsgButtons buttons);

    std::unique_ptr<QTextStream> m_ownOut;
    std::unique_ptr<QTextStream> m_ownIn;
    QTextStream* m_out;
    QTextStream* m_in;
    bool m_interactive;
};

} // namespace mixgen

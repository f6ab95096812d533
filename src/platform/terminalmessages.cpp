#include "platform/messages.h"

#include <QTextStream>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace mixgen {

namespace {

QString answerWord(MsgAnswer answer) {
    switch (answer) {
    case MsgAnswer::Ok:
        return QStringLiteral("OK");
    case MsgAnswer::Yes:
        return QStringLiteral("Yes");
    case MsgAnswer::No:
        return QStringLiteral("No");
    case MsgAnswer::Cancel:
        return QStringLiteral("Cancel");
    }
    return QString();
}

QString promptFor(MsgButtons buttons) {
    return buttons == MsgButtons::YesNoCancel ? QStringLiteral("Yes/No/Cancel? ")
                                              : QStringLiteral("Yes/No? ");
}

// The answer a typed line stands for; nullopt when it names no offered button.
std::optional<MsgAnswer> parseAnswer(const QString& line, MsgButtons buttons) {
    const QString word = line.trimmed().toLower();
    if (word == QLatin1String("y") || word == QLatin1String("yes"))
        return MsgAnswer::Yes;
    if (word == QLatin1String("n") || word == QLatin1String("no"))
        return MsgAnswer::No;
    if (buttons == MsgButtons::YesNoCancel &&
        (word == QLatin1String("c") || word == QLatin1String("cancel")))
        return MsgAnswer::Cancel;
    return std::nullopt;
}

// Texts carry CR LF line breaks; a lone CR would overwrite the line on a terminal.
QString terminalText(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool progressShown = false;

} // namespace

void showTerminalProgress(const QString& line) {
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    static QString shown;
    if (!terminal || (progressShown && line == shown))
        return;
    shown = line;
    // Back to the line's start, the new text, then the rest of the old line cleared.
    std::fputs(("\r" + line + "\x1b[K").toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    progressShown = true;
}

void endTerminalProgress() {
    if (!progressShown)
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    progressShown = false;
}

TerminalMessages::TerminalMessages()
    : m_ownOut(std::make_unique<QTextStream>(stderr)),
      m_ownIn(std::make_unique<QTextStream>(stdin)), m_out(m_ownOut.get()), m_in(m_ownIn.get()),
      m_interactive(::isatty(STDIN_FILENO) == 1) {}

TerminalMessages::TerminalMessages(QTextStream* out, QTextStream* in, bool interactive)
    : m_out(out), m_in(in), m_interactive(interactive) {}

TerminalMessages::~TerminalMessages() = default;

MsgAnswer TerminalMessages::show(const QString& caption, const QString& text, MsgIcon icon,
                                 MsgButtons buttons) {
    endTerminalProgress();
    *m_out << caption << " [" << iconWord(icon) << "]: " << terminalText(text) << '\n';
    m_out->flush();
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (!m_interactive) {
        const MsgAnswer answer = answerThatChangesNothing(buttons);
        *m_out << "Answered " << answerWord(answer) << " (no terminal to ask).\n";
        m_out->flush();
        return answer;
    }
    return ask(buttons);
}

MsgAnswer TerminalMessages::ask(MsgButtons buttons) {
    for (;;) {
        *m_out << promptFor(buttons);
        m_out->flush();
        QString line;
        if (!m_in || !m_in->readLineInto(&line)) {
            const MsgAnswer answer = answerThatChangesNothing(buttons);
            *m_out << "\nAnswered " << answerWord(answer) << " (no answer was given).\n";
            m_out->flush();
            return answer;
        }
        if (const std::optional<MsgAnswer> answer = parseAnswer(line, buttons))
            return *answer;
    }
}

} // namespace mixgen

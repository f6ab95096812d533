#include "platform/messages.h"

#include "platform/appinfo.h"

namespace mixgen {

namespace {
MessageSeam* installedSeam = nullptr;
} // namespace

MessageSeam& messageSeam() {
    if (installedSeam)
        return *installedSeam;
    static TerminalMessages terminal;
    return terminal;
}

void setMessageSeam(MessageSeam* seam) {
    installedSeam = seam;
}

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon) {
    return messageSeam().show(QString::fromUtf8(kAppTitle), text, icon, buttons);
}

QString iconWord(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QStringLiteral("none");
    case MsgIcon::Information:
        return QStringLiteral("information");
    case MsgIcon::Exclamation:
        return QStringLiteral("exclamation");
    case MsgIcon::Critical:
        return QStringLiteral("critical");
    }
    return QStringLiteral("none");
}

MsgAnswer answerThatChangesNothing(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgAnswer::Ok;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    }
    return MsgAnswer::Ok;
}

} // namespace mixgen

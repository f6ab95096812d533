#pragma once

#include "platform/messages.h"

#include <QList>
#include <QString>

namespace mixgen::test {

// One message box as the program showed it.
struct ShownMessage {
    QString caption;
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
};

// The message seam for tests: installs itself while it lives, records every box, and answers
// from a script. A box that the script does not expect fails the test (and is answered with
// the choice that changes nothing), so a test states every message it allows.
class ScriptedMessages final : public MessageSeam {
public:
    ScriptedMessages();
    ~ScriptedMessages() override;

    // Expect a box whose text contains textPart, answered with answer. Expectations are met
    // in order.
    ScriptedMessages& expect(const QString& textPart, MsgAnswer answer = MsgAnswer::Ok);
    // Answer every box whose text contains textPart with answer, as often as it comes.
    ScriptedMessages& allow(const QString& textPart, MsgAnswer answer = MsgAnswer::Ok);

    MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon,
                   MsgButtons buttons) override;

    const QList<ShownMessage>& shown() const { return m_shown; }
    // Fails the test when expected boxes were not shown.
    void verifyAllShown() const;

private:
    struct Entry {
        QString textPart;
        MsgAnswer answer;
    };
    QList<Entry> m_expected;
    QList<Entry> m_allowed;
    QList<ShownMessage> m_shown;
};

} // namespace mixgen::test

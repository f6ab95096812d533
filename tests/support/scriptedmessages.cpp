#include "scriptedmessages.h"

#include <gtest/gtest.h>

namespace mixgen::test {

ScriptedMessages::ScriptedMessages() {
    setMessageSeam(this);
}

ScriptedMessages::~ScriptedMessages() {
    setMessageSeam(nullptr);
    verifyAllShown();
}

ScriptedMessages& ScriptedMessages::expect(const QString& textPart, MsgAnswer answer) {
    m_expected.append({textPart, answer});
    return *this;
}

ScriptedMessages& ScriptedMessages::allow(const QString& textPart, MsgAnswer answer) {
    m_allowed.append({textPart, answer});
    return *this;
}

MsgAnswer ScriptedMessages::show(const QString& caption, const QString& text, MsgIcon icon,
                                 MsgButtons buttons) {
    m_shown.append({caption, text, icon, buttons});
    if (!m_expected.isEmpty() && text.contains(m_expected.first().textPart))
        return m_expected.takeFirst().answer;
    for (const Entry& entry : m_allowed)
        if (text.contains(entry.textPart))
            return entry.answer;
    ADD_FAILURE() << "unexpected message box: " << text.toStdString();
    return answerThatChangesNothing(buttons);
}

void ScriptedMessages::verifyAllShown() const {
    for (const Entry& entry : m_expected)
        ADD_FAILURE() << "expected message box was not shown: " << entry.textPart.toStdString();
}

} // namespace mixgen::test

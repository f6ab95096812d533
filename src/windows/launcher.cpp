#include "windows/launcher.h"

#include "platform/messages.h"
#include "platform/process.h"

namespace mixgen {

bool startProgramOrReport(const QStringList& argv) {
    const StartResult result = startDetached(argv);
    if (result.started)
        return true;
    const QString program = argv.value(0);
    const QString name = program.isEmpty() ? QStringLiteral("(no program set)") : program;
    MsgBox(QStringLiteral("Could not start %1\r\n\r\n%2").arg(name, result.error), MsgButtons::Ok,
           MsgIcon::Exclamation);
    return false;
}

} // namespace mixgen

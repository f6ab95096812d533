#include "windows/programstart.h"

#include "app/helptext.h"
#include "app/programexit.h"
#include "core/settingsstore.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "windows/frmmain.h"
#include "windows/qtmessages.h"

#include <QApplication>

namespace mixgen {

namespace {

// A folder, pipe or device where the settings file belongs is never opened (it could block
// the program); the user is told once why nothing is remembered.
void reportUnusableSettingsFile() {
    const SettingsStore store;
    const QString problem = store.fileProblem();
    if (!problem.isEmpty())
        MsgBox(QStringLiteral("The settings file %1 cannot be used: %2\r\nSettings are neither "
                              "read nor saved.")
                   .arg(store.filePath(), problem),
               MsgButtons::Ok, MsgIcon::Exclamation);
}

} // namespace

int runProgram(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Answered before any window exists, so they work without a display too.
    const QString info = terminalInfoText(arguments);
    if (!info.isEmpty()) {
        printOnTerminal(info);
        return 0;
    }

    const bool withoutDisplay = prepareDisplayPlatform();
    QApplication application(argc, argv);
    // The program ends through ExitProgram only, never because its last window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessages screenMessages;
    if (!withoutDisplay)
        setMessageSeam(&screenMessages);
    ignoreFileSizeSignal();
    reportUnusableSettingsFile();

    frmMain main;
    main.Form_Load(arguments);
    QApplication::exec();
    ExitProgram();
}

} // namespace mixgen

#include "windows/programstart.h"

#include "app/helptext.h"
#include "app/programexit.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "windows/frmmain.h"
#include "windows/qtmessages.h"

#include <QApplication>

namespace mixgen {

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

    frmMain main;
    main.Form_Load(arguments);
    QApplication::exec();
    ExitProgram();
}

} // namespace mixgen

#include "windows/programstart.h"

#include "app/contextmenu.h"
#include "app/helptext.h"
#include "app/programexit.h"
#include "app/searchahead.h"
#include "core/settingsstore.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "platform/nameencoding.h"
#include "platform/process.h"
#include "windows/frmmain.h"
#include "windows/qtmessages.h"

#include <QApplication>
#include <QIcon>

namespace mixgen {

namespace {

// A folder, pipe or device where the settings file belongs is never opened (it could block
// the program), an unreadable one is not replaced, a read-only one is only read: the user is
// told once why nothing, or nothing new, is remembered.
void reportUnusableSettingsFile() {
    const QString warning = SettingsStore().fileWarning();
    if (!warning.isEmpty())
        MsgBox(warning, MsgButtons::Ok, MsgIcon::Exclamation);
}

} // namespace

int runProgram(int argc, char** argv) {
    // Folder names keep every byte, UTF-8 or not, so a folder is found under the name it has.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeFileName(argv[i]));

    // Answered before any window exists, so they work without a display too.
    // A file manager's action names an entry and a folder, never these options.
    const bool entryRun = arguments.value(0) == QLatin1String("--entry");
    const TerminalAnswer answer = answerBeforeWindows(arguments, environmentNamesNoDisplay());
    if (!answer.text.isEmpty()) {
        printOnTerminal(answer.text, answer.onError);
        return answer.status;
    }

    // The search of a request starts at once: the walk goes on while Qt and the windows are
    // made. (A file manager's entry goes through the loader, which searches later.)
    if (!entryRun)
        startSearchAhead(arguments);

    const bool withoutDisplay = prepareDisplayPlatform();
    QApplication application(argc, argv);
    // The installed launcher's name: the desktop groups the program's windows under it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.mixgen.Tunepicker"));
    // The desktop's own copy of the icon when its theme has one, else the built-in one.
    // Without a display no window is seen, and decoding the icons would only slow the request.
    if (!withoutDisplay) {
        QIcon builtIn;
        builtIn.addFile(QStringLiteral(":/icons/mixgen-48.png"));
        builtIn.addFile(QStringLiteral(":/icons/mixgen-256.png"));
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("mixgen"), builtIn));
    }
    // The program ends through ExitProgram only, never because its last window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessages screenMessages;
    if (!withoutDisplay)
        setMessageSeam(&screenMessages);
    ignoreFileSizeSignal();
    reportUnusableSettingsFile();
    // Actions written by an earlier version start the program in their new form from now on.
    updateOutdatedEntryActions();

    if (entryRun) {
        // The entry's request for the folder, run as this program's own command line.
        const EntryRun entry = resolveEntryRun(arguments);
        if (!entry.error.isEmpty()) {
            MsgBox(entry.error, MsgButtons::Ok, MsgIcon::Critical);
            return 1;
        }
        arguments = QStringList{entry.commandLine};
    }

    frmMain main;
    main.Form_Load(arguments);
    QApplication::exec();
    ExitProgram();
}

} // namespace mixgen

#include "platform/display.h"

#include "platform/folders.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace mixgen {

namespace {
bool withoutDisplay = false;

// The platform plugin's name, less its options ("offscreen:fontengine=...") and any fallbacks
// listed after it ("xcb;offscreen").
QByteArray platformName(const QByteArray& setting) {
    qsizetype end = setting.size();
    for (const char stop : {':', ';'}) {
        const qsizetype at = setting.indexOf(stop);
        if (at >= 0 && at < end)
            end = at;
    }
    return setting.left(end).trimmed();
}
void keepOnlyFatal(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs((message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::abort();
    }
}
} // namespace

bool prepareDisplayPlatform() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) {
        const QByteArray name = platformName(chosen);
        withoutDisplay = name == "offscreen" || name == "minimal";
    } else if (!qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty()) {
        withoutDisplay = false;
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        withoutDisplay = true;
    }
    if (withoutDisplay) {
        // Standard error carries the program's messages, which scripts read: Qt's own
        // warnings (about fonts, sizes, the runtime folder) must not mix with them.
        qInstallMessageHandler(keepOnlyFatal);
        // Qt wants a runtime folder and makes one in /tmp when there is none: lend it a
        // private one inside the work folder, so nothing is made anywhere else.
        if (qgetenv("XDG_RUNTIME_DIR").isEmpty()) {
            const QString work = workFolder();
            const QString runtime =
                work.isEmpty()
                    ? QString()
                    : privateFolder(work + QStringLiteral("mixgen-runtime-%1").arg(::geteuid()));
            if (!runtime.isEmpty())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.chopped(1)));
        }
    }
    return withoutDisplay;
}

bool runsWithoutDisplay() {
    return withoutDisplay;
}

} // namespace mixgen

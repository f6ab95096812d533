#include "platform/display.h"

#include "platform/folders.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

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

bool environmentNamesNoDisplay() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) {
        const QByteArray name = platformName(chosen);
        return name == "offscreen" || name == "minimal";
    }
    return qgetenv("DISPLAY").isEmpty() && qgetenv("WAYLAND_DISPLAY").isEmpty();
}

bool prepareDisplayPlatform() {
    withoutDisplay = environmentNamesNoDisplay();
    if (withoutDisplay && qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (withoutDisplay) {
        // Standard error carries the program's messages, which scripts read: Qt's own
        // warnings (about fonts, sizes, the runtime folder) must not mix with them.
        qInstallMessageHandler(keepOnlyFatal);
        // Qt wants a runtime folder and makes one in /tmp when there is none: lend it a
        // private one inside the work folder, so nothing is made anywhere else.
        lendRuntimeFolder();
    }
    return withoutDisplay;
}

bool runsWithoutDisplay() {
    return withoutDisplay;
}

} // namespace mixgen

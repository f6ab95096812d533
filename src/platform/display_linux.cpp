#include "platform/display.h"

#include "platform/folders.h"

#include <QByteArray>
#include <QFile>

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
    // Qt wants a runtime folder and warns on standard error when there is none, which would
    // mix with the messages a script reads there: lend it the private work folder.
    if (withoutDisplay && qgetenv("XDG_RUNTIME_DIR").isEmpty()) {
        const QString runtime = privateTmpFolder();
        if (!runtime.isEmpty())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.chopped(1)));
    }
    return withoutDisplay;
}

bool runsWithoutDisplay() {
    return withoutDisplay;
}

} // namespace mixgen

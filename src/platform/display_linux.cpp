#include "platform/display.h"

#include <QByteArray>

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
    return withoutDisplay;
}

bool runsWithoutDisplay() {
    return withoutDisplay;
}

} // namespace mixgen

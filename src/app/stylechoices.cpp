#include "app/stylechoices.h"

#include "app/commandline.h"
#include "core/numbertext.h"
#include "core/settingkeys.h"
#include "core/settingsstore.h"

#include <algorithm>

namespace mixgen {

namespace {

QString stored(const char* key) {
    return SettingsStore().GetSetting(QLatin1String(keys::kStyle), QLatin1String(key),
                                      QLatin1String(keys::kStyleOffDefault));
}

void store(const char* key, const QString& value) {
    SettingsStore().SaveSetting(QLatin1String(keys::kStyle), QLatin1String(key), value);
}

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

int targetMinutes(const QString& text) {
    const double value = leadingNumericValue(text);
    if (!(value >= 0.5))
        return 0;
    return std::min(roundHalfEven(std::min(value, double(kMaxTargetMinutes))), kMaxTargetMinutes);
}

PlaylistStyle storedStyle() {
    PlaylistStyle style;
    style.minutes = targetMinutes(stored(keys::kStyleMinutes));
    style.balance = stored(keys::kStyleBalance) == u"1";
    style.extended = stored(keys::kStyleExtended) == u"1";
    style.relative = stored(keys::kStyleRelative) == u"1";
    return style;
}

void saveStyle(const PlaylistStyle& style) {
    store(keys::kStyleMinutes, QString::number(style.minutes));
    store(keys::kStyleBalance, flagText(style.balance));
    store(keys::kStyleExtended, flagText(style.extended));
    store(keys::kStyleRelative, flagText(style.relative));
}

PlaylistStyle requestStyle(const QString& commandLine, const PlaylistStyle& stored) {
    PlaylistStyle style = stored;
    // "/T:" counts only where a switch may stand, as every other switch does.
    if (hasSwitch(commandLine, QStringLiteral("/T:")))
        style.minutes = targetMinutes(switchValue(commandLine, QStringLiteral("/T:")));
    style.balance = style.balance || hasSwitch(commandLine, QStringLiteral("/B"));
    style.extended = style.extended || hasSwitch(commandLine, QStringLiteral("/X"));
    style.relative = style.relative || hasSwitch(commandLine, QStringLiteral("/R"));
    return style;
}

QString styleSwitches(const PlaylistStyle& style) {
    QString switches;
    if (style.minutes > 0)
        switches += QStringLiteral(" /T:%1").arg(style.minutes);
    if (style.balance)
        switches += QStringLiteral(" /B");
    if (style.extended)
        switches += QStringLiteral(" /X");
    if (style.relative)
        switches += QStringLiteral(" /R");
    return switches;
}

} // namespace mixgen

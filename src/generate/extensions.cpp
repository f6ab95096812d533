#include "generate/extensions.h"

#include "core/settingkeys.h"
#include "core/settingsstore.h"

namespace mixgen {

QStringList enabledExtensions(const SettingsStore& settings) {
    QStringList enabled;
    for (std::size_t index = 0; index < kExtensions.size(); ++index) {
        const QString key = QLatin1String(keys::kExtPrefix) + QString::number(index);
        if (settings.GetSetting(QLatin1String(keys::kSettings), key, QStringLiteral("0")) ==
            QLatin1String("1"))
            enabled.append(QString::fromLatin1(kExtensions[index].data(),
                                               qsizetype(kExtensions[index].size())));
    }
    if (enabled.isEmpty())
        enabled.append(
            QString::fromLatin1(kExtensions[0].data(), qsizetype(kExtensions[0].size())));
    return enabled;
}

} // namespace mixgen

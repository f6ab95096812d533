#include "windows/history.h"

#include "core/settingsstore.h"

#include <array>

namespace mixgen {

namespace {

// The key of position n: "A" for 1 ... "O" for 15, "P" for 16.
QString historyKey(int n) {
    return QString(QChar(u'A' + n - 1));
}

constexpr int kHistoryKeys = kHistoryListed + 1;

} // namespace

QStringList loadHistoryEntries(const SettingsStore& store, const QString& section) {
    QStringList entries;
    for (int n = 1; n <= kHistoryListed; ++n) {
        const QString value = store.GetSetting(section, historyKey(n), QString());
        if (!value.isEmpty())
            entries.append(value);
    }
    return entries;
}

void saveHistoryEntry(const SettingsStore& store, const QString& section, const QString& current) {
    QStringList keys;
    for (int n = 1; n <= kHistoryKeys; ++n)
        keys.append(historyKey(n));
    // Read, shifted and written back in one step, so that requests recording at the same time
    // never lose an entry or store one twice.
    store.UpdateSection(section, keys, [&](QStringList& stored) {
        // Shifted walking from "O" up to "A" as the stored routine always has: an entry equal
        // to current is taken out and the gap closed from below; every other entry moves one
        // key down. Position 0 is unused.
        std::array<QString, kHistoryKeys + 1> values;
        for (int n = 1; n <= kHistoryKeys; ++n)
            values[n] = stored[n - 1];
        for (int i = kHistoryListed; i >= 1; --i) {
            const QString value = values[i];
            if (value != current) {
                values[i + 1] = value;
            } else {
                for (int j = i; j <= kHistoryListed; ++j)
                    values[j] = values[j + 1];
            }
        }
        values[1] = current;
        for (int n = 1; n <= kHistoryKeys; ++n)
            stored[n - 1] = values[n];
    });
}

} // namespace mixgen

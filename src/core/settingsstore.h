#pragma once

#include <QString>

namespace mixgen {

// The per-user store of text values of application "MIXGEN": one INI-style file,
// $XDG_CONFIG_HOME/MIXGEN/MIXGEN.ini (~/.config when unset), one section per store section.
// No cache: every read rereads the file; every write or delete locks, rereads, changes one key
// and replaces the file atomically. A failed write changes nothing and reports nothing.
class SettingsStore {
public:
    SettingsStore();                          // the user's file, found from the environment
    explicit SettingsStore(QString filePath); // a given file (tests, tools)

    // The stored text, or def when the key (or section, or file) does not exist. A key that
    // exists with an empty value reads as empty text.
    QString GetSetting(const QString& section, const QString& key,
                       const QString& def = QString()) const;
    void SaveSetting(const QString& section, const QString& key, const QString& value) const;
    void DeleteSetting(const QString& section, const QString& key) const;

    const QString& filePath() const { return m_filePath; }

    // $XDG_CONFIG_HOME/MIXGEN/MIXGEN.ini, or ~/.config/MIXGEN/MIXGEN.ini.
    static QString defaultFilePath();

private:
    QString m_filePath;
};

} // namespace mixgen

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace mixgen {

// The per-user store of text values of application "MIXGEN": one INI-style file,
// $XDG_CONFIG_HOME/MIXGEN/MIXGEN.ini (~/.config when unset), one section per store section.
// Every read sees the file as it is now, through a parse that is reused while the file stays
// the same (core/parsedstore.h); every write or delete locks, rereads, changes one key and
// replaces the file atomically. A failed write changes nothing and reports nothing. A
// read-only file is read and never replaced.
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

    // Reads the given keys of section (a missing key reads as empty), lets change edit the
    // values, and writes them all back, in one step under one lock: instances that do this
    // at the same time see each other's whole result, never half of it.
    void UpdateSection(const QString& section, const QStringList& keys,
                       const std::function<void(QStringList& values)>& change) const;

    // Why the settings file cannot be used to hand values over (it is a folder, a pipe, a
    // device, a file that cannot be read, or one that is left as it is: read-only), or empty.
    QString fileProblem() const;
    // What the user is told once at start-up about a settings file that cannot be used, or
    // that is read but left as it is (read-only); empty when it serves.
    QString fileWarning() const;

    const QString& filePath() const { return m_filePath; }

    // $XDG_CONFIG_HOME/MIXGEN/MIXGEN.ini, or ~/.config/MIXGEN/MIXGEN.ini.
    static QString defaultFilePath();

private:
    QString m_filePath;
};

} // namespace mixgen

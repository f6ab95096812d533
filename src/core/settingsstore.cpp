#include "settingsstore.h"

#include "inifile.h"
#include "parsedstore.h"
#include "platform/lockedfile.h"
#include "platform/nameencoding.h"

#include <QDir>

namespace mixgen {

namespace {

// Keys changed under the file's lock; an edit that changes nothing writes nothing.
void editKey(const QString& filePath, const std::function<bool(IniDocument&)>& change) {
    // The result is not examined: a write that fails changes nothing and must not stop the
    // program, and no caller looks at it.
    updateParsedStoreFile(filePath, {}, change);
}

} // namespace

SettingsStore::SettingsStore() : m_filePath(defaultFilePath()) {}

SettingsStore::SettingsStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString SettingsStore::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) // a relative value is to be ignored
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/MIXGEN/MIXGEN.ini");
}

QString SettingsStore::GetSetting(const QString& section, const QString& key,
                                  const QString& def) const {
    const std::optional<QByteArray> stored = parsedStoreFile(m_filePath, {})->value(section, key);
    return stored ? decodeFileName(*stored) : def;
}

void SettingsStore::SaveSetting(const QString& section, const QString& key,
                                const QString& value) const {
    const QByteArray bytes = encodeFileName(value);
    editKey(m_filePath,
            [&](IniDocument& document) { return document.setValue(section, key, bytes); });
}

void SettingsStore::UpdateSection(const QString& section, const QStringList& keys,
                                  const std::function<void(QStringList& values)>& change) const {
    editKey(m_filePath, [&](IniDocument& document) {
        QStringList values;
        for (const QString& key : keys)
            values.append(decodeFileName(document.value(section, key).value_or(QByteArray())));
        change(values);
        bool changed = false;
        for (qsizetype i = 0; i < keys.size() && i < values.size(); ++i)
            changed = document.setValue(section, keys[i], encodeFileName(values[i])) || changed;
        return changed;
    });
}

QString SettingsStore::fileProblem() const {
    const QString problem = storeFileProblem(m_filePath);
    return problem.isEmpty() ? storeFileWriteProblem(m_filePath) : problem;
}

QString SettingsStore::fileWarning() const {
    if (const QString problem = storeFileProblem(m_filePath); !problem.isEmpty())
        return QStringLiteral("The settings file %1 cannot be used: %2\r\nSettings are neither "
                              "read nor saved.")
            .arg(m_filePath, problem);
    if (const QString problem = storeFileWriteProblem(m_filePath); !problem.isEmpty())
        return QStringLiteral("The settings file %1 is left as it is: %2\r\nSettings are read "
                              "but not saved.")
            .arg(m_filePath, problem);
    return {};
}

void SettingsStore::DeleteSetting(const QString& section, const QString& key) const {
    editKey(m_filePath, [&](IniDocument& document) { return document.removeValue(section, key); });
}

} // namespace mixgen

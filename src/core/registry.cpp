#include "registry.h"

#include "inifile.h"
#include "numbertext.h"
#include "parsedstore.h"
#include "platform/lockedfile.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <limits>

// The tree of one root is one file: a "[key path]" line per key, levels joined by "\" as
// they are written in code, and one line per value: the name ("@" for the key's default
// value), "=", the type code, ":" and the raw data bytes (escaped where they are not plain
// text). A text is stored with its terminating NUL, as the desktop stores it:
//
//   [Folder\shell\Random Playlist\command]
//   @=1:/usr/bin/mixgen /P:%1\0
namespace mixgen {

namespace {

const QChar kLevelSeparator = u'\\';

IniDocument::Options treeOptions() {
    IniDocument::Options options;
    options.plainSectionNames = true;
    options.nameCase = Qt::CaseInsensitive; // key and value names ignore case, as on the desktop
    options.emptyKeyText = "@";
    return options;
}

std::shared_ptr<const IniDocument> treeDocument(const QString& file) {
    return parsedStoreFile(file, treeOptions());
}

bool updateTree(const QString& file, const std::function<bool(IniDocument&)>& change) {
    return updateParsedStoreFile(file, treeOptions(), change);
}

// The key path in its one stored form, or nullopt when a level holds a control character
// (which the one-line form of a key cannot hold).
std::optional<QString> normalizedPath(const QString& keyPath) {
    const QStringList levels = keyPath.split(kLevelSeparator, Qt::SkipEmptyParts);
    for (const QString& level : levels) {
        for (QChar c : level) {
            if (c.category() == QChar::Other_Control)
                return std::nullopt;
        }
    }
    return levels.join(kLevelSeparator);
}

bool isAtOrBelow(const QString& name, const QString& path) {
    return name.compare(path, Qt::CaseInsensitive) == 0 ||
           name.startsWith(path + kLevelSeparator, Qt::CaseInsensitive);
}

// A key exists when it has its own line or a key below it has one (a hand-made tree may
// skip the levels between). The root always exists.
bool keyExists(const IniDocument& tree, const QString& path) {
    if (path.isEmpty())
        return true;
    const QList<QString> names = tree.sectionNames();
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QString& name) { return isAtOrBelow(name, path); });
}

// The text of a REG_DWORD as the desktop converts it: a whole number text, rounded half to
// even, within the 32-bit signed range.
std::optional<std::int32_t> dwordFromText(const QString& text) {
    bool ok = false;
    const double value = roundHalfEvenValue(text.trimmed().toDouble(&ok));
    if (!ok || !(value >= std::numeric_limits<std::int32_t>::min() &&
                 value <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

QByteArray dwordBytes(std::int32_t number) {
    const auto bits = static_cast<std::uint32_t>(number);
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return bytes;
}

std::int32_t dwordFromBytes(const QByteArray& bytes) {
    std::uint32_t bits = 0;
    for (qsizetype i = 0; i < bytes.size() && i < 4; ++i)
        bits |= std::uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

} // namespace

QString RegValue::toText() const {
    switch (kind) {
    case Kind::Text:
        return text;
    case Kind::Number:
        return QString::number(number);
    case Kind::None:
        break;
    }
    return {};
}

QString registryFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) // a relative value is to be ignored
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/MIXGEN/");
}

QString registryFile(HKEY root) {
    if (root == HKEY_CLASSES_ROOT)
        return registryFolder() + QStringLiteral("HKEY_CLASSES_ROOT.ini");
    return {};
}

RegKey OpenRegKey(HKEY root, const QString& keyPath) {
    const QString file = registryFile(root);
    const std::optional<QString> path = normalizedPath(keyPath);
    if (file.isEmpty() || !path || !storeFileWritable(file))
        return {};
    if (!keyExists(*treeDocument(file), *path))
        return {};
    return RegKey{root, *path};
}

void CreateRegKey(HKEY root, const QString& keyPath) {
    const QString file = registryFile(root);
    const std::optional<QString> path = normalizedPath(keyPath);
    if (file.isEmpty() || !path || path->isEmpty())
        return;
    updateTree(file, [&](IniDocument& tree) {
        bool changed = false;
        QString level;
        for (const QString& name : path->split(kLevelSeparator)) {
            level = level.isEmpty() ? name : level + kLevelSeparator + name;
            changed = tree.addSection(level) || changed;
        }
        return changed;
    });
}

void WriteRegValue(HKEY root, const QString& keyPath, const QString& valueName,
                   const QString& value, std::uint32_t valueType) {
    SetTypedValue(OpenRegKey(root, keyPath), valueName, valueType, value);
}

long DeleteRegKey(HKEY root, const QString& keyPath) {
    const QString file = registryFile(root);
    const std::optional<QString> path = normalizedPath(keyPath);
    if (file.isEmpty())
        return ERROR_INVALID_HANDLE;
    if (!path)
        return ERROR_FILE_NOT_FOUND;
    if (path->isEmpty())
        return ERROR_ACCESS_DENIED; // the root itself cannot go
    if (!keyExists(*treeDocument(file), *path))
        return ERROR_FILE_NOT_FOUND; // and no lock file or folder is made for nothing

    long status = ERROR_SUCCESS;
    const bool written = updateTree(file, [&](IniDocument& tree) {
        if (!tree.removeSections([&](const QString& name) { return isAtOrBelow(name, *path); })) {
            status = ERROR_FILE_NOT_FOUND; // deleted by another instance meanwhile
            return false;
        }
        return true;
    });
    return written ? status : ERROR_ACCESS_DENIED;
}

RegValue ReadRegValue(HKEY root, const QString& keyPath, const QString& valueName) {
    return QueryTypedValue(OpenRegKey(root, keyPath), valueName);
}

long SetTypedValue(const RegKey& key, const QString& valueName, std::uint32_t valueType,
                   const QString& value) {
    if (!key.isOpen())
        return ERROR_INVALID_HANDLE;

    QByteArray data;
    if (valueType == REG_SZ) {
        data = value.toUtf8();
        data += '\0';
    } else if (valueType == REG_DWORD) {
        const std::optional<std::int32_t> number = dwordFromText(value);
        if (!number)
            return ERROR_INVALID_PARAMETER;
        data = dwordBytes(*number);
    } else {
        return ERROR_SUCCESS; // other types are neither written nor read
    }
    const QByteArray stored = QByteArray::number(valueType) + ':' + data;

    long status = ERROR_SUCCESS;
    const bool written = updateTree(registryFile(key.root), [&](IniDocument& tree) {
        if (!keyExists(tree, key.path)) {
            status = ERROR_KEY_DELETED;
            return false;
        }
        return tree.setValue(key.path, valueName, stored);
    });
    return written ? status : ERROR_ACCESS_DENIED;
}

RegValue QueryTypedValue(const RegKey& key, const QString& valueName) {
    // The size query failing (closed key, missing value, unreadable line) gives empty text.
    const RegValue failed = RegValue::fromText(QString());
    if (!key.isOpen())
        return failed;
    const std::optional<QByteArray> stored =
        treeDocument(registryFile(key.root))->value(key.path, valueName);
    if (!stored)
        return failed;
    const qsizetype colon = stored->indexOf(':');
    bool typeOk = false;
    const std::uint32_t type = colon > 0 ? stored->left(colon).toUInt(&typeOk) : 0;
    if (!typeOk)
        return failed;
    const QByteArray data = stored->mid(colon + 1);

    if (type == REG_SZ) {
        if (data.isEmpty())
            return failed;
        // The last byte is taken for the terminator, whatever it is.
        return RegValue::fromText(QString::fromUtf8(data.chopped(1)));
    }
    if (type == REG_DWORD) {
        if (data.size() > 4)
            return RegValue::none(); // does not fit the 32-bit buffer
        return RegValue::fromNumber(dwordFromBytes(data));
    }
    return RegValue::none();
}

} // namespace mixgen

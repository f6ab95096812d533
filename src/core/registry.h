#pragma once

#include <QString>

#include <cstdint>

// Typed access to a per-user, file-backed registry tree ($XDG_DATA_HOME/MIXGEN/, or
// ~/.local/share/MIXGEN/) with the root / key path / value name / type model of the desktop's
// registry. Key paths use "\" between levels, as the context-menu entries are written.
// Forgiving: no routine raises an error, writers report nothing, every failed read gives
// empty text.
namespace mixgen {

using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;

inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_DWORD = 4;

// Status codes of the routines that report one (0 is success); no caller looks at them.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;     // the key does not exist
inline constexpr long ERROR_ACCESS_DENIED = 5;      // the tree cannot be written
inline constexpr long ERROR_INVALID_HANDLE = 6;     // the key is not open
inline constexpr long ERROR_INVALID_PARAMETER = 87; // a number that is no 32-bit number
inline constexpr long ERROR_KEY_DELETED = 1018;     // the key went away after it was opened

// The result of a read: no value, a text or a 32-bit signed number.
struct RegValue {
    enum class Kind { None, Text, Number };
    Kind kind = Kind::None;
    QString text;
    std::int32_t number = 0;

    static RegValue none() { return {}; }
    static RegValue fromText(QString t) { return {Kind::Text, std::move(t), 0}; }
    static RegValue fromNumber(std::int32_t n) { return {Kind::Number, {}, n}; }
    // How callers use it: no value becomes empty text, a number its decimal text.
    QString toText() const;
};

// An open key: the root and key path, or closed (0) when the open failed.
struct RegKey {
    HKEY root = 0;
    QString path;
    bool isOpen() const { return root != 0; }
};

// Opens an existing key with write rights, as every open of this layer does: the result is
// closed when the key (or root) does not exist, or when the tree cannot be written now.
// Missing levels between "\" are skipped ("Folder\\shell" is "Folder\shell").
RegKey OpenRegKey(HKEY root, const QString& keyPath);

// Creates the key and every missing key above it.
void CreateRegKey(HKEY root, const QString& keyPath);
void WriteRegValue(HKEY root, const QString& keyPath, const QString& valueName,
                   const QString& value, std::uint32_t valueType);
// Removes the key with everything below it.
long DeleteRegKey(HKEY root, const QString& keyPath);
RegValue ReadRegValue(HKEY root, const QString& keyPath, const QString& valueName);
long SetTypedValue(const RegKey& key, const QString& valueName, std::uint32_t valueType,
                   const QString& value);
RegValue QueryTypedValue(const RegKey& key, const QString& valueName);

// Where the tree lives: $XDG_DATA_HOME/MIXGEN/ (or ~/.local/share/MIXGEN/).
QString registryFolder();
// The file that holds the tree below root, or empty for a root this layer does not keep.
QString registryFile(HKEY root);

} // namespace mixgen

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

void CreateRegKey(HKEY root, const QString& keyPath);
void WriteRegValue(HKEY root, const QString& keyPath, const QString& valueName,
                   const QString& value, std::uint32_t valueType);
long DeleteRegKey(HKEY root, const QString& keyPath);
RegValue ReadRegValue(HKEY root, const QString& keyPath, const QString& valueName);
long SetTypedValue(const RegKey& key, const QString& valueName, std::uint32_t valueType,
                   const QString& value);
RegValue QueryTypedValue(const RegKey& key, const QString& valueName);

// Where the tree lives: $XDG_DATA_HOME/MIXGEN/ (or ~/.local/share/MIXGEN/).
QString registryFolder();

} // namespace mixgen

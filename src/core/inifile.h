#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The hand-editable text form shared by the settings store and the registry tree:
//
//   [Section]
//   key=value
//
// Plain texts stay plain. A backslash starts an escape: "\\" "\0" "\n" "\r" "\t", "\s" for a
// blank at either end of a field, "\xHH" for any other control byte (or a byte of a value that
// is not UTF-8), and "\=" "\[" "\;" "\#" "\@" where those would be read as syntax in a key.
// An unknown escape is kept as it stands, so a hand-typed "C:\Music" survives.
// Reading is forgiving: blanks around keys and values are trimmed, lines starting with ";" or
// "#" are comments, and a line that is neither a section, an entry nor a comment is ignored.
// Edits keep every other line byte for byte.
namespace mixgen {

enum class IniField { Section, Key, Value };

QByteArray escapeIniField(const QByteArray& raw, IniField field);
QByteArray unescapeIniField(const QByteArray& escaped);

class IniDocument {
public:
    struct Options {
        // Section names written as they stand (registry key paths, whose levels hold
        // neither control characters nor line breaks) instead of escaped.
        bool plainSectionNames = false;
        Qt::CaseSensitivity nameCase = Qt::CaseSensitive;
        // The text that stands for the empty key in the file ("@"), or empty to write it as
        // nothing before the "=".
        QByteArray emptyKeyText;
        bool operator==(const Options&) const = default;
    };

    IniDocument(const QByteArray& content, Options options);
    explicit IniDocument(const QByteArray& content) : IniDocument(content, Options{}) {}

    QByteArray toBytes() const;

    // The value of the first entry named key in a section named section (the file may hold
    // a section twice after hand edits), or nullopt when there is none.
    std::optional<QByteArray> value(const QString& section, const QString& key) const;
    bool hasSection(const QString& section) const;
    // Every section name, in file order, each once.
    QList<QString> sectionNames() const;

    // Each returns whether the content changed.
    // Sets the first matching entry and drops any later duplicates; a new key goes after the
    // last entry of the section; a new section goes at the end.
    bool setValue(const QString& section, const QString& key, const QByteArray& value);
    // Drops every entry named key in sections named section.
    bool removeValue(const QString& section, const QString& key);
    bool addSection(const QString& section);
    // Drops every section whose name matches, with all its lines.
    bool removeSections(const std::function<bool(const QString&)>& matches);

private:
    struct Line {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        QByteArray raw;
        QString name; // section name or entry key
        QByteArray value;
    };

    Line parseLine(const QByteArray& raw) const;
    Line makeSection(const QString& section) const;
    Line makeEntry(const QString& key, const QByteArray& value) const;
    bool same(const QString& a, const QString& b) const;
    // Calls visit(index) for every entry named key inside a section named section.
    void forEachEntry(const QString& section, const QString& key,
                      const std::function<void(qsizetype)>& visit) const;

    Options m_options;
    QList<Line> m_lines;
};

} // namespace mixgen

#include "inifile.h"

#include <QByteArrayView>

#include <algorithm>

namespace mixgen {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimmedBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendHexEscape(QByteArray& out, unsigned char byte) {
    out += "\\x";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
}

// The position of the first "=" that is not escaped, or -1.
qsizetype entrySeparator(const QByteArray& line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '=')
            return i;
    }
    return -1;
}

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

} // namespace

QByteArray escapeIniField(const QByteArray& raw, IniField field) {
    const bool validUtf8 = QByteArrayView(raw).isValidUtf8();
    QByteArray out;
    out.reserve(raw.size() + 8);
    const qsizetype last = raw.size() - 1;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            continue;
        case '\0':
            out += "\\0";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !validUtf8)) {
            appendHexEscape(out, byte);
        } else if (c == ' ' && (i == 0 || i == last)) {
            out += "\\s"; // trimmed by readers and editors otherwise
        } else if (field == IniField::Key &&
                   (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#' || c == '@')))) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray unescapeIniField(const QByteArray& escaped) {
    QByteArray out;
    out.reserve(escaped.size());
    const qsizetype size = escaped.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = escaped[i];
        if (c != '\\' || i + 1 == size) {
            out += c;
            continue;
        }
        const char next = escaped[i + 1];
        switch (next) {
        case '\\':
            out += '\\';
            break;
        case '0':
            out += '\0';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 's':
            out += ' ';
            break;
        case '=':
        case '[':
        case ']':
        case ';':
        case '#':
        case '@':
            out += next;
            break;
        case 'x': {
            const int high = i + 2 < size ? hexValue(escaped[i + 2]) : -1;
            const int low = i + 3 < size ? hexValue(escaped[i + 3]) : -1;
            if (high < 0 || low < 0) {
                out += c; // not an escape: keep the backslash, go on with the "x"
                continue;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            out += c; // unknown escape: kept as it stands
            continue;
        }
        ++i;
    }
    return out;
}

IniDocument::IniDocument(const QByteArray& content, Options options)
    : m_options(std::move(options)) {
    QList<QByteArray> pieces = content.split('\n');
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast(); // the final line end
    m_lines.reserve(pieces.size());
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        QByteArray raw = pieces[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        const bool bom = i == 0 && raw.startsWith(kUtf8Bom);
        Line line = parseLine(bom ? raw.mid(kUtf8Bom.size()) : raw);
        line.raw = raw;
        m_lines.append(std::move(line));
    }
}

IniDocument::Line IniDocument::parseLine(const QByteArray& raw) const {
    Line line;
    line.raw = raw;
    const QByteArray text = trimmedBlanks(raw);
    if (text.isEmpty() || text[0] == ';' || text[0] == '#')
        return line;
    if (text[0] == '[') {
        if (text.size() >= 2 && text.endsWith(']')) {
            const QByteArray name = text.mid(1, text.size() - 2);
            line.kind = Line::Kind::Section;
            line.name =
                QString::fromUtf8(m_options.plainSectionNames ? name : unescapeIniField(name));
        }
        return line; // an unclosed "[" is a stray line
    }
    const qsizetype separator = entrySeparator(text);
    if (separator < 0)
        return line;
    const QByteArray key = trimmedBlanks(text.left(separator));
    line.kind = Line::Kind::Entry;
    if (!m_options.emptyKeyText.isEmpty() && key == m_options.emptyKeyText)
        line.name.clear();
    else
        line.name = QString::fromUtf8(unescapeIniField(key));
    line.value = unescapeIniField(trimmedBlanks(text.mid(separator + 1)));
    return line;
}

IniDocument::Line IniDocument::makeSection(const QString& section) const {
    const QByteArray name = section.toUtf8();
    Line line;
    line.kind = Line::Kind::Section;
    line.name = section;
    line.raw =
        '[' + (m_options.plainSectionNames ? name : escapeIniField(name, IniField::Section)) + ']';
    return line;
}

IniDocument::Line IniDocument::makeEntry(const QString& key, const QByteArray& value) const {
    Line line;
    line.kind = Line::Kind::Entry;
    line.name = key;
    line.value = value;
    line.raw = (key.isEmpty() && !m_options.emptyKeyText.isEmpty())
                   ? m_options.emptyKeyText
                   : escapeIniField(key.toUtf8(), IniField::Key);
    line.raw += '=';
    line.raw += escapeIniField(value, IniField::Value);
    return line;
}

QByteArray IniDocument::toBytes() const {
    QByteArray out;
    for (const Line& line : m_lines) {
        out += line.raw;
        out += '\n';
    }
    return out;
}

bool IniDocument::same(const QString& a, const QString& b) const {
    return a.compare(b, m_options.nameCase) == 0;
}

void IniDocument::forEachEntry(const QString& section, const QString& key,
                               const std::function<void(qsizetype)>& visit) const {
    bool inSection = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Line::Kind::Section)
            inSection = same(line.name, section);
        else if (inSection && line.kind == Line::Kind::Entry && same(line.name, key))
            visit(i);
    }
}

std::optional<QByteArray> IniDocument::value(const QString& section, const QString& key) const {
    std::optional<QByteArray> found;
    forEachEntry(section, key, [&](qsizetype i) {
        if (!found)
            found = m_lines[i].value;
    });
    return found;
}

bool IniDocument::hasSection(const QString& section) const {
    for (const Line& line : m_lines) {
        if (line.kind == Line::Kind::Section && same(line.name, section))
            return true;
    }
    return false;
}

QList<QString> IniDocument::sectionNames() const {
    QList<QString> names;
    for (const Line& line : m_lines) {
        if (line.kind != Line::Kind::Section)
            continue;
        const bool known = std::any_of(names.cbegin(), names.cend(),
                                       [&](const QString& name) { return same(name, line.name); });
        if (!known)
            names.append(line.name);
    }
    return names;
}

bool IniDocument::setValue(const QString& section, const QString& key, const QByteArray& value) {
    QList<qsizetype> matches;
    forEachEntry(section, key, [&](qsizetype i) { matches.append(i); });
    if (!matches.isEmpty()) {
        bool changed = false;
        for (qsizetype m = matches.size() - 1; m >= 1; --m) {
            m_lines.removeAt(matches[m]);
            changed = true;
        }
        Line& first = m_lines[matches.first()];
        if (first.value != value) {
            first = makeEntry(first.name, value); // keeps the key as the file spells it
            changed = true;
        }
        return changed;
    }

    for (qsizetype header = 0; header < m_lines.size(); ++header) {
        if (m_lines[header].kind != Line::Kind::Section || !same(m_lines[header].name, section))
            continue;
        qsizetype at = header + 1;
        for (qsizetype i = header + 1; i < m_lines.size() && m_lines[i].kind != Line::Kind::Section;
             ++i) {
            if (m_lines[i].kind == Line::Kind::Entry)
                at = i + 1;
        }
        m_lines.insert(at, makeEntry(key, value));
        return true;
    }

    addSection(section);
    m_lines.append(makeEntry(key, value));
    return true;
}

bool IniDocument::removeValue(const QString& section, const QString& key) {
    QList<qsizetype> matches;
    forEachEntry(section, key, [&](qsizetype i) { matches.append(i); });
    for (qsizetype m = matches.size() - 1; m >= 0; --m)
        m_lines.removeAt(matches[m]);
    return !matches.isEmpty();
}

bool IniDocument::addSection(const QString& section) {
    if (hasSection(section))
        return false;
    if (!m_lines.isEmpty() && !trimmedBlanks(m_lines.last().raw).isEmpty())
        m_lines.append(Line{}); // a blank line between sections, for the reader's eye
    m_lines.append(makeSection(section));
    return true;
}

bool IniDocument::removeSections(const std::function<bool(const QString&)>& matches) {
    const qsizetype before = m_lines.size();
    QList<Line> kept;
    kept.reserve(before);
    bool dropping = false;
    for (Line& line : m_lines) {
        if (line.kind == Line::Kind::Section)
            dropping = matches(line.name);
        if (!dropping)
            kept.append(std::move(line));
    }
    m_lines = std::move(kept);
    return m_lines.size() != before;
}

} // namespace mixgen

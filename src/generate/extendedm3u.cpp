#include "generate/extendedm3u.h"

#include <QString>

namespace mixgen {

namespace {

bool breaksLine(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

// One line of text: each run of control characters (CR and LF among them) becomes a blank, runs of
// blanks at the ends go, and the text is cut at a character's boundary.
QString oneLine(const QString& text) {
    QString line;
    line.reserve(std::min(text.size(), kMaxTagText));
    for (qsizetype i = 0; i < text.size() && line.size() < kMaxTagText; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            if (line.size() + 2 > kMaxTagText)
                break;
            line.append(c);
            line.append(text.at(++i));
        } else if (c.isSurrogate()) {
            line.append(QChar::ReplacementCharacter);
        } else if (!breaksLine(c.unicode())) {
            line.append(c);
        } else if (!line.endsWith(u' ')) {
            line.append(u' '); // a CR LF becomes one blank
        }
    }
    return line.trimmed();
}

QString fileTitle(QByteArrayView utf8Path) {
    QByteArrayView name = utf8Path;
    const qsizetype slash = name.lastIndexOf('/');
    if (slash >= 0)
        name = name.sliced(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0)
        name = name.first(dot);
    return QString::fromUtf8(name);
}

} // namespace

QByteArray extinfLine(const SongTags& tags, QByteArrayView utf8Path) {
    QString title = oneLine(tags.title);
    if (title.isEmpty())
        title = oneLine(fileTitle(utf8Path));
    const QString artist = oneLine(tags.artist);
    QByteArray line = "#EXTINF:" + QByteArray::number(tags.seconds > 0 ? tags.seconds : -1) + ',';
    if (!artist.isEmpty())
        line += artist.toUtf8() + " - ";
    line += title.toUtf8();
    line += "\r\n";
    return line;
}

} // namespace mixgen

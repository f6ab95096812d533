#include "app/tagfile.h"

#include "platform/appinfo.h"
#include "platform/folders.h"
#include "platform/messages.h"

#include <QFile>
#include <QFileInfo>

namespace mixgen {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Steps past one line end (CR LF, LF or CR) at pos.
qsizetype skipLineEnd(const QString& text, qsizetype pos) {
    if (pos < text.size() && text.at(pos) == u'\r')
        ++pos;
    if (pos < text.size() && text.at(pos) == u'\n')
        ++pos;
    return pos;
}

} // namespace

QString tagFilePath(const QString& folder) {
    return withTrailingSlash(folder) + QLatin1String(kTagFileName);
}

QStringList tagItems(const QByteArray& content) {
    QString text = QString::fromUtf8(content.left(kTagFileReadLimit));
    // A binary file's NULs would cut the label short wherever it is shown.
    text.remove(QChar(u'\0'));

    QStringList items;
    qsizetype pos = 0;
    while (pos < text.size() && items.size() < kTagItemLimit) {
        while (pos < text.size() && isBlank(text.at(pos)))
            ++pos;
        QString item;
        if (pos < text.size() && text.at(pos) == u'"') {
            const qsizetype start = pos + 1;
            pos = start;
            while (pos < text.size() && text.at(pos) != u'"' && !isLineEnd(text.at(pos)))
                ++pos;
            item = text.mid(start, pos - start);
            if (pos < text.size() && text.at(pos) == u'"')
                ++pos;
            // Anything between the closing quote and the delimiter is not part of the item.
            while (pos < text.size() && text.at(pos) != u',' && !isLineEnd(text.at(pos)))
                ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < text.size() && text.at(pos) != u',' && !isLineEnd(text.at(pos)))
                ++pos;
            item = text.mid(start, pos - start);
        }
        items.append(item);
        if (pos < text.size() && text.at(pos) == u',') {
            ++pos;
            // A comma at the end of a line leaves one more, empty item on that line.
            if (pos >= text.size() || isLineEnd(text.at(pos))) {
                if (items.size() < kTagItemLimit)
                    items.append(QString());
                pos = skipLineEnd(text, pos);
            }
        } else {
            pos = skipLineEnd(text, pos);
        }
    }
    return items;
}

QString readTagLabel(const QString& folder) {
    const QString path = tagFilePath(folder);
    // A folder, a pipe or a device under that name is no tag file (a pipe would block).
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString label;
    for (const QString& item : tagItems(file.read(kTagFileReadLimit)))
        label += item + kLineEnd;
    return label;
}

QString defaultTagLabel() {
    return QStringLiteral("MP3") + kLineEnd + QStringLiteral("Tunepicker") + kLineEnd +
           versionText() + kLineEnd;
}

bool createTagFile(const QString& folder) {
    const QString path = tagFilePath(folder);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = defaultTagLabel().toUtf8();
    if (file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.error() == QFileDevice::NoError;
}

QString loadTagLabel(const QString& folder) {
    const QString label = readTagLabel(folder);
    if (!label.isEmpty())
        return label;
    const QString question = QStringLiteral("Could not write to ") +
                             withTrailingSlash(folder).toUpper() + QLatin1String(kTagFileName) +
                             kLineEnd + QStringLiteral("Do you want to retry the operation?") +
                             kLineEnd;
    while (!createTagFile(folder)) {
        if (MsgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
            return {};
    }
    return defaultTagLabel();
}

} // namespace mixgen

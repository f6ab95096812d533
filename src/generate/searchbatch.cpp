#include "generate/songsearch.h"

#include "platform/nameencoding.h"

namespace mixgen {

namespace {

void addLine(QByteArray& batch, const QByteArray& line) {
    batch.append(line);
    batch.append("\r\n");
}

// Three echo lines drawing a frame around a sixteen-character caption with the line-drawing
// bytes of code page 437, as the console shows them.
void addFramedCaption(QByteArray& batch, const char (&caption)[17]) {
    const QByteArray indent("echo   ");
    const QByteArray bar(16, char(196));
    addLine(batch, indent + char(218) + bar + char(191));
    addLine(batch, indent + char(179) + QByteArray(caption, 16) + char(179));
    addLine(batch, indent + char(192) + bar + char(217));
}

} // namespace

QByteArray searchBatchBytes(const QStringList& paths, const QStringList& extensions,
                            const QString& listFilePath) {
    const QByteArray listFile = listFilePath.toUtf8();
    QByteArray batch;
    addLine(batch, "@echo off");
    addFramedCaption(batch, " Now working... ");

    bool first = true;
    for (const QString& path : paths) {
        const QByteArray folder = encodeFileName(path);
        for (const QString& extension : extensions) {
            QByteArray line = "dir \"" + folder + "*." + extension.toUtf8() + "\" /s /b>";
            if (!first)
                line.append('>');
            first = false;
            addLine(batch, line + listFile);
        }
    }

    addLine(batch, "cls");
    addFramedCaption(batch, "      Done      ");
    for (int i = 0; i < 3; ++i)
        addLine(batch, "echo.");
    addLine(batch, "echo Note: You can check the option \"Close on exit\" at the properties");
    addLine(batch, "echo       of this window if you want this window to disappear in the future.");
    addLine(batch, "echo       Right-click the title bar of this window to access its properties.");
    return batch;
}

} // namespace mixgen

#include "generate/songsearch.h"

#include "platform/nameencoding.h"

namespace mixgen {

namespace {

void addLine(QByteArray& batch, const QByteArray& line) {
    batch.append(line);
    batch.append("\r\n");
}

// Three echo lines drawing a frame around a sixteen-character caption with the box-drawing
// characters a console shows, in UTF-8 like the rest of the file.
void addFramedCaption(QByteArray& batch, const char (&caption)[17]) {
    const QByteArray indent("echo   ");
    const QByteArray bar = QByteArray("\u2500").repeated(16);
    addLine(batch, indent + "\u250C" + bar + "\u2510");
    addLine(batch, indent + "\u2502" + QByteArray(caption, 16) + "\u2502");
    addLine(batch, indent + "\u2514" + bar + "\u2518");
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

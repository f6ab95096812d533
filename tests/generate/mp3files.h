#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace mixgen::test {

// One silent MPEG-1 Layer III frame, 128 kbit/s at 44.1 kHz: 417 bytes, 1152 samples.
inline QByteArray silentFrame() {
    QByteArray frame("\xFF\xFB\x90\x00", 4);
    frame.append(413, '\0');
    return frame;
}

// The frames that play for about the given seconds.
inline QByteArray silentAudio(int seconds) {
    return silentFrame().repeated(qsizetype(seconds * 44100.0 / 1152 + 0.5));
}

// An ID3v2.4 frame holding text (encoding byte first: 3 is UTF-8).
inline QByteArray id3Frame(const char* id, const QByteArray& text, char encoding = 3) {
    const QByteArray body = encoding + text;
    QByteArray frame(id, 4);
    for (int shift : {21, 14, 7, 0}) // a frame's size is synchsafe in version 2.4
        frame.append(char((body.size() >> shift) & 0x7F));
    frame.append(2, '\0');
    return frame + body;
}

// An ID3v2.4 tag around frames; declaredSize stands in the header instead of the real one.
inline QByteArray id3Tag(const QByteArray& frames, qint64 declaredSize = -1) {
    const qint64 size = declaredSize < 0 ? frames.size() : declaredSize;
    QByteArray tag("ID3\x04\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag.append(char((size >> shift) & 0x7F));
    return tag + frames;
}

inline QByteArray titledSong(const QByteArray& artist, const QByteArray& title, int seconds) {
    return id3Tag(id3Frame("TPE1", artist) + id3Frame("TIT2", title)) + silentAudio(seconds);
}

// Writes bytes into a new file at path, making its folders.
inline bool writeSong(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace mixgen::test

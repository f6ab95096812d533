#include "windowstestkit.h"

#include "core/settingsstore.h"
#include "platform/folders.h"
#include "testenv.h"
#include "windows/frmplaylist.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace mixgen::test {

void makeSongTree(const QString& root, const QStringList& names) {
    for (const QString& name : names)
        writeFile(root + "/" + name, QByteArray());
}

void writeRecorder(const QString& path, const QString& recordPath) {
    const QByteArray script = "#!/bin/sh\n: > '" + QFile::encodeName(recordPath) +
                              ".part'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                              QFile::encodeName(recordPath) + ".part'; done\nmv '" +
                              QFile::encodeName(recordPath) + ".part' '" +
                              QFile::encodeName(recordPath) + "'\n";
    writeFile(path, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList waitForRecording(const QString& recordPath) {
    // Started programs run on their own; give a slow machine plenty of time.
    QDeadlineTimer deadline(20000);
    while (!QFile::exists(recordPath) && !deadline.hasExpired())
        QThread::msleep(20);
    QString text = QString::fromUtf8(readFile(recordPath));
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() && !QFile::exists(recordPath) ? QStringList() : text.split(u'\n');
}

PathPrefix::PathPrefix(const QString& folder) : m_old(qgetenv("PATH")) {
    qputenv("PATH", QFile::encodeName(folder) + ":" + m_old);
}

PathPrefix::~PathPrefix() {
    qputenv("PATH", m_old);
}

bool waitForRun(frmPlaylist& playlist) {
    QSignalSpy finished(&playlist, &frmPlaylist::runFinished);
    return QTest::qWaitFor([&] { return !finished.isEmpty() && !playlist.isRunning(); }, 60000);
}

QStringList playlistLines(const QString& path) {
    const QByteArray bytes = readFile(path);
    if (bytes.isEmpty())
        return {};
    EXPECT_TRUE(bytes.endsWith("\r\n")) << path.toStdString();
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(u'\n')) << "a line without CR: " << line.toStdString();
    return lines;
}

void clearSettings() {
    QFile::remove(SettingsStore::defaultFilePath());
}

QStringList workFolderFiles() {
    return QDir(workFolder()).entryList(QDir::Files);
}

} // namespace mixgen::test

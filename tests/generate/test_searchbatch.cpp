#include "core/settingsstore.h"
#include "generate/extensions.h"
#include "generate/songsearch.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mixgen;

namespace {

QList<QByteArray> linesOf(const QByteArray& batch) {
    QList<QByteArray> lines = batch.split('\n');
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line must end in CR LF";
    lines.removeLast();
    for (QByteArray& line : lines) {
        EXPECT_TRUE(line.endsWith('\r')) << line.toStdString();
        line.chop(1);
    }
    return lines;
}

QList<QByteArray> dirLines(const QByteArray& batch) {
    QList<QByteArray> result;
    for (const QByteArray& line : linesOf(batch))
        if (line.startsWith("dir "))
            result.append(line);
    return result;
}

} // namespace

// Catches any byte of the frame, the notes, the order or the CR LF ends gone astray.
TEST(SearchBatch, WholeFileByteForByte) {
    const QByteArray top = "echo   ┌────────────────┐\r\n";
    const QByteArray bottom = "echo   └────────────────┘\r\n";
    const QByteArray expected =
        "@echo off\r\n" + top + "echo   │ Now working... │\r\n" + bottom +
        "dir \"/music/*.MP?\" /s /b>/tmp/x/mixgen.lst\r\n"
        "dir \"/songs/*.MP?\" /s /b>>/tmp/x/mixgen.lst\r\n"
        "cls\r\n" +
        top + "echo   │      Done      │\r\n" + bottom +
        "echo.\r\necho.\r\necho.\r\n"
        "echo Note: You can check the option \"Close on exit\" at the properties\r\n"
        "echo       of this window if you want this window to disappear in the future.\r\n"
        "echo       Right-click the title bar of this window to access its properties.\r\n";
    EXPECT_EQ(searchBatchBytes({"/music/", "/songs/"}, {"MP?"}, "/tmp/x/mixgen.lst"), expected);
}

// Catches extension-major order, a second single ">" that would truncate the list, and a
// trimmed "ITZ " that would lose its blank inside the quotes.
TEST(SearchBatch, PathMajorLinesOnlyTheFirstCreatesTheList) {
    const QByteArray batch =
        searchBatchBytes({"/a/", "/b c/"}, {"MP?", "WAV", "ITZ "}, "/w/mixgen.lst");
    EXPECT_EQ(dirLines(batch), (QList<QByteArray>{
                                   "dir \"/a/*.MP?\" /s /b>/w/mixgen.lst",
                                   "dir \"/a/*.WAV\" /s /b>>/w/mixgen.lst",
                                   "dir \"/a/*.ITZ \" /s /b>>/w/mixgen.lst",
                                   "dir \"/b c/*.MP?\" /s /b>>/w/mixgen.lst",
                                   "dir \"/b c/*.WAV\" /s /b>>/w/mixgen.lst",
                                   "dir \"/b c/*.ITZ \" /s /b>>/w/mixgen.lst",
                               }));
}

// Catches folder names with characters beyond ASCII written in another encoding.
TEST(SearchBatch, PathsAreWrittenUtf8) {
    const QByteArray batch = searchBatchBytes({QStringLiteral("/musik/K\u00e4the/")}, {"MP?"},
                                              QStringLiteral("/t\u00e9/mixgen.lst"));
    EXPECT_EQ(dirLines(batch),
              QList<QByteArray>{"dir \"/musik/K\xc3\xa4the/*.MP?\" /s /b>/t\xc3\xa9/mixgen.lst"});
}

// Catches the wrong keys, a value other than "1" counted as on, list order lost, and no
// fallback to the first item when nothing is on.
TEST(SearchExtensions, EnabledBySettingsInListOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const SettingsStore settings(dir.filePath("MIXGEN.ini"));
    EXPECT_EQ(enabledExtensions(settings), QStringList{"MP?"});

    settings.SaveSetting("Settings", "Ext11", "1");
    settings.SaveSetting("Settings", "Ext2", "1");
    settings.SaveSetting("Settings", "Ext3", "0");
    settings.SaveSetting("Settings", "Ext4", "True");
    settings.SaveSetting("Settings", "Ext5", " 1");
    settings.SaveSetting("Loader", "Ext6", "1");
    EXPECT_EQ(enabledExtensions(settings), (QStringList{"WAV", "ITZ "}));

    settings.SaveSetting("Settings", "Ext0", "1");
    settings.SaveSetting("Settings", "Ext12", "1");
    EXPECT_EQ(enabledExtensions(settings), (QStringList{"MP?", "WAV", "ITZ ", "XMZ"}));
}
